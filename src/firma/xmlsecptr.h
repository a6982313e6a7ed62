// Ownership of xmlsec handles, as osslptr.h does for OpenSSL. Internal to the
// signature module.
#pragma once

#include <memory>
#include <xmlsec/keys.h>
#include <xmlsec/xmldsig.h>

struct XmlsecDeleter {
    void operator()(xmlSecDSigCtx *p) const { xmlSecDSigCtxDestroy(p); }
    void operator()(xmlSecKey *p) const { xmlSecKeyDestroy(p); }
    void operator()(xmlSecKeyData *p) const { xmlSecKeyDataDestroy(p); }
};

template <typename T> using XmlsecPtr = std::unique_ptr<T, XmlsecDeleter>;
