// Where a run of plain text ends, and whether a word occurs, for the quick
// readers of documents: most of a document's bytes (names, amounts, the
// Base64 of a signature) need no look of their own, so they are passed over
// sixteen at a time where the processor allows it.
#pragma once

#include <cstddef>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The first byte from p (before fine) that is not plain: plain is ASCII from
// 0x20 to 0x7F, also tab and line feed when TabELf, and none of Fermate.
template <bool TabELf, char... Fermate> const char *PrimoNonPiano(const char *p, const char *fine)
{
#if defined(__SSE2__)
    const __m128i spazio = _mm_set1_epi8(0x20);
    while (fine - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        __m128i fuori = _mm_cmplt_epi8(v, spazio); // signed: control bytes and every byte from 0x80
        if constexpr (TabELf)
            fuori = _mm_andnot_si128(
                _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('\t')), _mm_cmpeq_epi8(v, _mm_set1_epi8('\n'))), fuori);
        ((fuori = _mm_or_si128(fuori, _mm_cmpeq_epi8(v, _mm_set1_epi8(Fermate)))), ...);
        if (const int dove = _mm_movemask_epi8(fuori))
            return p + __builtin_ctz(static_cast<unsigned>(dove));
        p += 16;
    }
#endif
    for (; p != fine; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (c >= 0x80 || (c < 0x20 && !(TabELf && (c == '\t' || c == '\n'))) || ((*p == Fermate) || ...))
            return p;
    }
    return fine;
}

// The first byte from p (before fine) that cannot continue an ASCII name:
// letters, digits, '_', '-' and '.' go on; anything else (':' and every byte
// from 0x80 included) stops.
inline const char *FineNome(const char *p, const char *fine)
{
#if defined(__SSE2__)
    while (fine - p >= 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i minuscola = _mm_or_si128(v, _mm_set1_epi8(0x20));
        // Signed comparisons: the bytes from 0x80 are below every letter and digit.
        const __m128i lettera = _mm_and_si128(
            _mm_cmpgt_epi8(minuscola, _mm_set1_epi8('a' - 1)), _mm_cmplt_epi8(minuscola, _mm_set1_epi8('z' + 1)));
        const __m128i cifra
            = _mm_and_si128(_mm_cmpgt_epi8(v, _mm_set1_epi8('0' - 1)), _mm_cmplt_epi8(v, _mm_set1_epi8('9' + 1)));
        const __m128i segno = _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('_')),
            _mm_or_si128(_mm_cmpeq_epi8(v, _mm_set1_epi8('-')), _mm_cmpeq_epi8(v, _mm_set1_epi8('.'))));
        const auto dentro = static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(lettera, _mm_or_si128(cifra, segno))));
        if (dentro != 0xFFFF)
            return p + __builtin_ctz(~dentro);
        p += 16;
    }
#endif
    for (; p != fine; ++p) {
        const char c = *p;
        const char m = static_cast<char>(c | 0x20);
        if (!((m >= 'a' && m <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' || c == '.'))
            return p;
    }
    return fine;
}

// How many times the byte occurs: a message's nodes are counted by its '<'
// before any is made, and a call to memchr per tag costs more than the count.
template <char Cercato> size_t ContaByte(const char *p, const char *fine)
{
    size_t n = 0;
#if defined(__SSE2__)
    // Each match takes one from its byte's lane; the lanes are summed before
    // any can wrap.
    const __m128i cercato = _mm_set1_epi8(Cercato);
    while (fine - p >= 16) {
        __m128i lane = _mm_setzero_si128();
        for (int giri = 0; giri < 255 && fine - p >= 16; ++giri, p += 16)
            lane = _mm_sub_epi8(lane, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p)), cercato));
        const __m128i somme = _mm_sad_epu8(lane, _mm_setzero_si128());
        n += static_cast<size_t>(_mm_cvtsi128_si32(somme)) + static_cast<size_t>(_mm_extract_epi16(somme, 4));
    }
#endif
    for (; p != fine; ++p)
        n += *p == Cercato;
    return n;
}

// Whether the word occurs in the bytes: the bytes that hold its first and last
// letters sixteen positions at a time, so the rare candidates alone are
// compared whole (a document is searched for one word on every open).
inline bool ContieneParola(const char *p, const char *fine, const char *parola, size_t lunghezza)
{
    if (lunghezza == 0)
        return true;
    if (size_t(fine - p) < lunghezza)
        return false;
    const char *const ultimo = fine - lunghezza; // the last place the word can start
#if defined(__SSE2__)
    const __m128i prima = _mm_set1_epi8(parola[0]);
    const __m128i dopo = _mm_set1_epi8(parola[lunghezza - 1]);
    for (; ultimo - p >= 15; p += 16) {
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i *>(p + lunghezza - 1));
        for (auto candidati = static_cast<unsigned>(
                 _mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, prima), _mm_cmpeq_epi8(b, dopo))));
             candidati != 0; candidati &= candidati - 1)
            if (std::memcmp(p + __builtin_ctz(candidati), parola, lunghezza) == 0)
                return true;
    }
#endif
    for (; p <= ultimo; ++p)
        if (*p == parola[0] && std::memcmp(p, parola, lunghezza) == 0)
            return true;
    return false;
}
