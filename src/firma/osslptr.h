// Ownership of OpenSSL handles: one overloaded deleter for them all. Internal
// to the signature module; public headers never include OpenSSL.
#pragma once

#include <memory>
#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509_vfy.h>
#include <openssl/x509v3.h>

struct OsslDeleter {
    void operator()(BIO *p) const { BIO_free_all(p); }
    void operator()(CMS_ContentInfo *p) const { CMS_ContentInfo_free(p); }
    void operator()(X509 *p) const { X509_free(p); }
    void operator()(X509_NAME *p) const { X509_NAME_free(p); }
    void operator()(X509_STORE *p) const { X509_STORE_free(p); }
    void operator()(X509_STORE_CTX *p) const { X509_STORE_CTX_free(p); }
    void operator()(EVP_MD_CTX *p) const { EVP_MD_CTX_free(p); }
    void operator()(EVP_PKEY *p) const { EVP_PKEY_free(p); }
    void operator()(STACK_OF(X509) * p) const { sk_X509_pop_free(p, X509_free); }
    void operator()(STACK_OF(ASN1_TYPE) * p) const { sk_ASN1_TYPE_pop_free(p, ASN1_TYPE_free); }
    void operator()(ASN1_OBJECT *p) const { ASN1_OBJECT_free(p); }
    void operator()(EXTENDED_KEY_USAGE *p) const { EXTENDED_KEY_USAGE_free(p); }
    void operator()(unsigned char *p) const { OPENSSL_free(p); } // buffers libcrypto allocates for its callers
};

template <typename T> using OsslPtr = std::unique_ptr<T, OsslDeleter>;
using CmsPtr = OsslPtr<CMS_ContentInfo>;
