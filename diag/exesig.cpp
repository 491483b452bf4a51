#include "diag/exesig.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <fstream>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include "diag/pefile.h"

#if defined(__i386__) || defined(__x86_64__)
#define PELVARN_SIG_VECTOR 1
#include <immintrin.h>
#endif
#include "platform/fileio.h"

namespace pelvarn {

namespace {

// The markers as the program stores them: each written backwards.
constexpr std::array<std::string_view, SignatureStringCount> ReversedMarkers = {
    "IHPLED\\DNALROB",
    ".CNI SMETSYS RETUPMOC YEHAL",
    "NREVLAK",
    "V59FL",
    "_LAGILLI_",
    "PAL RAHP",
    "MMV|683",
    "rewop tib-23",
    "RORRE KCOLDAED",
    "LTR nartroF letnI",
    "nartrofgbil",
    "wgnim",
    "ccg",
    "noitaroproc",
    "wodniWrdLputeSonnI",
    "niamesiw",
    "ihpledvk",
};

enum : int { MarkDelphi = 0, MarkLahey = 1, MarkKalvern = 2, MarkOverride = 16 };

inline unsigned char FoldByte(unsigned char c) {
    // Zero reads as a blank; a-z as A-Z; every other byte unchanged. Branch-free, so the
    // block loop below vectorises.
    c = static_cast<unsigned char>(c - (static_cast<unsigned char>(c - 'a') < 26 ? 32 : 0));
    return c == 0 ? static_cast<unsigned char>(' ') : c;
}

// FoldByte on eight bytes at once: each byte's top bit of Low marks a-z, of Zero a zero
// byte; either way the byte changes by 0x20 (a-z down to A-Z, zero up to a blank).
inline std::uint64_t FoldWord(std::uint64_t w) {
    constexpr std::uint64_t Ones = 0x0101010101010101ull, Top = 0x8080808080808080ull,
                            Low7 = 0x7F7F7F7F7F7F7F7Full;
    const std::uint64_t seven = w & Low7;
    const std::uint64_t fromA = seven + (0x80 - 'a') * Ones;     // top bit set: byte >= 'a'
    const std::uint64_t pastZ = seven + (0x80 - 'z' - 1) * Ones; // top bit set: byte > 'z'
    const std::uint64_t lower = fromA & ~pastZ & ~w & Top;
    const std::uint64_t zero = ~((seven + Low7) | w) & Top;
    return (w - (lower >> 2)) | (zero >> 2);
}

// The vector path sorts the markers into eight buckets; "gcc", the one three bytes long,
// has a bucket of its own, as its fourth byte is any byte.
constexpr int ShortMarker = 12;
inline int BucketOf(int m) {
    return m == ShortMarker ? 7 : m % 7;
}

// Upper-case markers and the set of byte pairs found at their first two offsets. Every
// marker is at least three bytes long, so each occurrence puts one of those two pairs at an
// even offset of the block: testing the even offsets alone misses nothing.
struct TMarkerTable {
    std::array<std::string, SignatureStringCount> Plain;
    std::array<std::string, SignatureStringCount> Upper;
    std::array<std::uint64_t, 65536 / 64> PairBits{};
    // For each pair in PairBits: the markers that begin with it, and those that hold it at
    // their second byte.
    struct TPairMarkers {
        std::uint32_t AtStart = 0, AtSecond = 0;
    };
    std::array<std::uint8_t, 65536> PairSlot{}; // index + 1 into Pairs; 0 for none
    std::array<TPairMarkers, 2 * SignatureStringCount + 1> Pairs{};

    std::array<std::uint32_t, 8> Bucket{}; // the markers of each bucket of the vector path

    TMarkerTable() {
        std::size_t used = 0;
        for (int i = 0; i < SignatureStringCount; ++i) {
            Plain[i].assign(ReversedMarkers[i].rbegin(), ReversedMarkers[i].rend());
            for (char c : Plain[i])
                Upper[i] += static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
            for (std::size_t at = 0; at < 2; ++at) {
                unsigned key = static_cast<unsigned char>(Upper[i][at]) |
                               static_cast<unsigned char>(Upper[i][at + 1]) << 8;
                PairBits[key >> 6] |= std::uint64_t{1} << (key & 63);
                if (PairSlot[key] == 0) PairSlot[key] = static_cast<std::uint8_t>(++used);
                (at == 0 ? Pairs[PairSlot[key]].AtStart : Pairs[PairSlot[key]].AtSecond) |=
                    std::uint32_t{1} << i;
            }
            Bucket[BucketOf(i)] |= std::uint32_t{1} << i;
        }
    }
};

const TMarkerTable& Markers() {
    static const TMarkerTable table;
    return table;
}

constexpr std::uint32_t AllMarkers = (std::uint32_t{1} << SignatureStringCount) - 1;

} // namespace

const std::array<std::string, SignatureStringCount>& SignatureStrings() {
    return Markers().Plain;
}

const std::array<std::string_view, SignatureNameCount> SignatureNames = {
    "Unknown",  "Lahey F77", "Lahey LF90",    "Lahey LF95",    "Intel Fortran",
    "GFortran", "Delphi",    "InnoInstaller", "WiseInstaller",
};

void TSignatureScanner::BuildVectorTables() {
    // For the first four bytes of each marker still to find, in either case (and a blank
    // also as a zero byte), the low and high nibble tables mark the marker's bucket. A
    // position whose four bytes pass all eight tables for some bucket is a candidate.
    const TMarkerTable& table = Markers();
    std::memset(VecLow, 0, sizeof VecLow);
    std::memset(VecHigh, 0, sizeof VecHigh);
    auto add = [&](int at, unsigned c, unsigned bit) {
        VecLow[at][c & 15] |= static_cast<unsigned char>(bit);
        VecHigh[at][c >> 4] |= static_cast<unsigned char>(bit);
    };
    for (int m = 0; m < SignatureStringCount; ++m) {
        if (FoundMask >> m & 1) continue;
        const unsigned bit = 1u << BucketOf(m);
        for (int at = 0; at < 4; ++at) {
            if (at >= static_cast<int>(table.Upper[m].size())) {
                for (unsigned n = 0; n < 16; ++n)
                    add(at, n << 4 | n, bit);
                continue;
            }
            const unsigned u = static_cast<unsigned char>(table.Upper[m][at]);
            add(at, u, bit);
            if (u >= 'A' && u <= 'Z') add(at, u + 32, bit);
            if (u == ' ') add(at, 0, bit);
        }
    }
    TablesFor = FoundMask;
}

#ifdef PELVARN_SIG_VECTOR
namespace {

// The vector filter. Each step loads 16 or 32 bytes once and looks up, for each of the
// first four bytes of the markers still looked for, the buckets whose marker may hold that
// byte there (low and high nibble tables, ANDed). Where the four results line up (the
// first three taken from up to three positions back, the previous step's included), four
// bytes that some marker of the bucket begins with end at that position. Such positions go
// to Found(End, Mask, Buckets) with the step's first position, a mask of the end positions
// and their buckets: rare, so Found need not be cheap. The step before the first counts as
// no match, so nothing is found that starts before the block; one last step through a
// zero-padded copy covers the block's end, up to the position just past it (a three-byte
// marker's any fourth byte).
template <typename TFound>
__attribute__((target("ssse3"))) void Filter16(const unsigned char* Data, std::size_t Size,
                                               const unsigned char (*Low)[16],
                                               const unsigned char (*High)[16], TFound&& Found) {
    const __m128i nibble = _mm_set1_epi8(0x0F), zero = _mm_setzero_si128();
    __m128i low[4], high[4];
    for (int k = 0; k < 4; ++k) {
        low[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(Low[k]));
        high[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(High[k]));
    }
    __m128i prev0 = zero, prev1 = zero, prev2 = zero;
    alignas(16) unsigned char buckets[16];
    auto step = [&](const unsigned char* p, std::size_t at)
        __attribute__((target("ssse3"), always_inline)) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i lo = _mm_and_si128(v, nibble),
                      hi = _mm_and_si128(_mm_srli_epi16(v, 4), nibble);
        __m128i r[4];
        for (int k = 0; k < 4; ++k)
            r[k] = _mm_and_si128(_mm_shuffle_epi8(low[k], lo), _mm_shuffle_epi8(high[k], hi));
        const __m128i hit = _mm_and_si128(
            _mm_and_si128(_mm_alignr_epi8(r[0], prev0, 13), _mm_alignr_epi8(r[1], prev1, 14)),
            _mm_and_si128(_mm_alignr_epi8(r[2], prev2, 15), r[3]));
        prev0 = r[0], prev1 = r[1], prev2 = r[2];
        const unsigned mask =
            ~static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(hit, zero))) & 0xFFFFu;
        if (mask) {
            _mm_store_si128(reinterpret_cast<__m128i*>(buckets), hit);
            Found(at, mask, buckets);
        }
    };
    std::size_t at = 0;
    for (; at + 16 <= Size; at += 16)
        step(Data + at, at);
    alignas(16) unsigned char tail[16] = {};
    std::memcpy(tail, Data + at, Size - at);
    step(tail, at);
}

// The filter with 32-byte steps, for a whole block (a short last block of a file goes through
// Filter16): the two 128-bit lanes run through the two halves of the block side by side, so that a
// step's results line up with the previous step's inside each lane and no lane crossing is needed.
// The second lane starts one step before the middle, so that its first real step has its previous
// step; the positions the two lanes both see may be reported twice, which does no harm. End
// positions run up to the block's last byte: a three-byte marker ending the block is left to the
// caller.
template <typename TFound>
__attribute__((target("avx2"))) void
FilterWholeBlock32(const unsigned char* Data, const unsigned char (*Low)[16],
                   const unsigned char (*High)[16], TFound&& Found) {
    constexpr std::size_t Half = SignatureBlockSize / 2, Steps = Half / 16 + 1;
    const unsigned char* second = Data + Half - 16;
    const __m256i nibble = _mm256_set1_epi8(0x0F), zero = _mm256_setzero_si256();
    __m256i low[4], high[4];
    for (int k = 0; k < 4; ++k) {
        low[k] =
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(Low[k])));
        high[k] =
            _mm256_broadcastsi128_si256(_mm_load_si128(reinterpret_cast<const __m128i*>(High[k])));
    }
    __m256i prev[2][3] = {{zero, zero, zero}, {zero, zero, zero}};
    alignas(32) unsigned char buckets[32];
    auto step = [&](std::size_t at, __m256i(&before)[3], __m256i(&now)[3])
        __attribute__((target("avx2"), always_inline)) {
        const __m256i v = _mm256_inserti128_si256(
            _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(Data + at))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(second + at)), 1);
        const __m256i lo = _mm256_and_si256(v, nibble),
                      hi = _mm256_and_si256(_mm256_srli_epi16(v, 4), nibble);
        __m256i r3 = zero;
        for (int k = 0; k < 4; ++k) {
            const __m256i r =
                _mm256_and_si256(_mm256_shuffle_epi8(low[k], lo), _mm256_shuffle_epi8(high[k], hi));
            if (k < 3)
                now[k] = r;
            else
                r3 = r;
        }
        const __m256i hit =
            _mm256_and_si256(_mm256_and_si256(_mm256_alignr_epi8(now[0], before[0], 13),
                                              _mm256_alignr_epi8(now[1], before[1], 14)),
                             _mm256_and_si256(_mm256_alignr_epi8(now[2], before[2], 15), r3));
        const unsigned mask =
            ~static_cast<unsigned>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(hit, zero)));
        if (mask) {
            _mm256_store_si256(reinterpret_cast<__m256i*>(buckets), hit);
            if (mask & 0xFFFFu) Found(at, mask & 0xFFFFu, buckets);
            if (mask >> 16) Found(at + Half - 16, mask >> 16, buckets + 16);
        }
    };
    // Two steps a turn, the previous step's results and this step's swapping roles.
    std::size_t at = 0;
    for (; at + 32 <= Steps * 16; at += 32) {
        step(at, prev[0], prev[1]);
        step(at + 16, prev[1], prev[0]);
    }
    if (at < Steps * 16) step(at, prev[0], prev[1]);
}

} // namespace

void TSignatureScanner::ScanVector(const unsigned char* Data, std::size_t Size) {
    if (TablesFor != FoundMask) BuildVectorTables();
    const TMarkerTable& table = Markers();
    auto found = [&](std::size_t at, unsigned mask, const unsigned char* buckets) {
        for (; mask != 0; mask &= mask - 1) {
            const unsigned j = static_cast<unsigned>(__builtin_ctz(mask));
            std::uint32_t candidates = 0;
            for (int b = 0; b < 8; ++b)
                if (buckets[j] >> b & 1) candidates |= table.Bucket[b];
            candidates &= ~FoundMask;
            // The four bytes end at at + j: the marker starts three before.
            if (candidates != 0) VerifyRaw(Data, Size, at + j - 3, candidates);
        }
    };
    if (UseWideVector && Size == SignatureBlockSize) {
        FilterWholeBlock32(Data, VecLow, VecHigh, found);
        const std::uint32_t shortOne = std::uint32_t{1} << ShortMarker;
        if (!(FoundMask & shortOne)) VerifyRaw(Data, Size, Size - 3, shortOne);
    } else {
        Filter16(Data, Size, VecLow, VecHigh, found);
    }
}
#else
void TSignatureScanner::ScanVector(const unsigned char* Data, std::size_t Size) {
    ScanFolded(Data, Size);
}
#endif

TSignatureScanner::TSignatureScanner(bool Portable, bool NoWide) {
    Markers();
#ifdef PELVARN_SIG_VECTOR
    __builtin_cpu_init();
    UseVector = !Portable && __builtin_cpu_supports("ssse3");
    UseWideVector = UseVector && !NoWide && __builtin_cpu_supports("avx2");
#else
    (void)Portable;
    (void)NoWide;
#endif
}

void TSignatureScanner::ScanBlock(const unsigned char* Data, std::size_t Size) {
    if (FoundMask == AllMarkers) return;
    Size = std::min(Size, SignatureBlockSize);
    if (UseVector)
        ScanVector(Data, Size);
    else
        ScanFolded(Data, Size);
}

void TSignatureScanner::ScanFolded(const unsigned char* Data, std::size_t Size) {
    unsigned char* f = Folded.data();
    std::size_t i = 0;
    for (; i + 8 <= Size; i += 8) {
        std::uint64_t w;
        std::memcpy(&w, Data + i, 8);
        w = FoldWord(w);
        std::memcpy(f + i, &w, 8);
    }
    for (; i < Size; ++i)
        f[i] = FoldByte(Data[i]);
    f[Size] = 0; // no marker holds a zero: a pair read past the end never matches
    const TMarkerTable& table = Markers();
    for (i = 0; i + 1 < Size; i += 2) {
        unsigned key = f[i] | f[i + 1] << 8;
        if (!((table.PairBits[key >> 6] >> (key & 63)) & 1)) continue;
        const auto& pair = table.Pairs[table.PairSlot[key]];
        Verify(f, Size, i, pair.AtStart & ~FoundMask);
        if (i > 0) Verify(f, Size, i - 1, pair.AtSecond & ~FoundMask);
        if (FoundMask == AllMarkers) return;
    }
}

void TSignatureScanner::Verify(const unsigned char* f, std::size_t Size, std::size_t Start,
                               std::uint32_t Candidates) {
    const TMarkerTable& table = Markers();
    for (int m = 0; Candidates != 0; ++m, Candidates >>= 1) {
        if (!(Candidates & 1)) continue;
        const std::string& marker = table.Upper[m];
        if (Start + marker.size() <= Size &&
            std::memcmp(f + Start, marker.data(), marker.size()) == 0)
            FoundMask |= std::uint32_t{1} << m;
    }
}

void TSignatureScanner::VerifyRaw(const unsigned char* Data, std::size_t Size, std::size_t Start,
                                  std::uint32_t Candidates) {
    const TMarkerTable& table = Markers();
    for (int m = 0; Candidates != 0; ++m, Candidates >>= 1) {
        if (!(Candidates & 1)) continue;
        const std::string& marker = table.Upper[m];
        if (Start + marker.size() > Size) continue;
        std::size_t k = 0;
        while (k < marker.size() &&
               FoldByte(Data[Start + k]) == static_cast<unsigned char>(marker[k]))
            ++k;
        if (k == marker.size()) FoundMask |= std::uint32_t{1} << m;
    }
}

int SignatureWinner(std::uint32_t MarkersFound, bool HasDelphiRes) {
    auto has = [&](int m) { return (MarkersFound >> m) & 1; };
    std::array<std::int32_t, SignatureNameCount> score{};
    if (has(MarkOverride)) {
        score[6] = 12;
    } else {
        if (has(0)) score[6] += 1 + (HasDelphiRes ? 20 : 0);
        if (has(1)) score[1] += 1, score[2] += 2;
        if (has(3)) score[3] += 1;
        if (has(4)) score[3] += 1;
        if (has(6)) score[1] += 1;
        if (has(7)) score[1] += 1;
        if (has(8)) score[3] += 1;
        if (has(9)) score[4] += 5;
        if (has(10)) score[5] += 5;
        if (has(11)) score[5] += 2;
        if (has(12)) score[5] += 1;
        if (has(14)) score[7] += 12;
        if (has(15)) score[8] += 12;
    }
    int winner = 0;
    for (int i = 1; i < SignatureNameCount; ++i)
        if (score[i] > score[winner]) winner = i;
    return winner;
}

std::string_view SignatureFlavour(int Winner) {
    switch (Winner) {
    case 1:
    case 2:
        return "Old Lahey";
    case 3:
    case 4:
    case 5:
        return "New Fujitsu";
    default:
        return "None";
    }
}

std::string LaaText(const std::string& FileName, bool& LargeAddressAware, bool& Is64Bit) {
    LargeAddressAware = false;
    Is64Bit = false;
    TPeHeaders pe;
    if (!ReadPeHeaders(FileName, pe)) return " LAAunknown Win?";
    LargeAddressAware = (pe.Characteristics & 0x0020) != 0;
    std::string text = LargeAddressAware ? " isLAA" : " notLAA";
    if (pe.Machine == 0x014C) {
        text += " Win32";
    } else if (pe.Machine == 0x8664) {
        text += " Win64";
        Is64Bit = true;
    } else {
        text += " Win?";
    }
    return text;
}

std::string LaaText(const std::string& FileName) {
    bool laa = false, is64 = false;
    return LaaText(FileName, laa, is64);
}

bool HasDelphiResource(const std::string& FileName) {
    bool found = false;
    EnumRcDataNames(FileName, [&](std::string_view name) {
        found = name == "DVCLAL";
        return !found;
    });
    return found;
}

namespace {

// Reads a file on a thread of its own, a few pieces ahead of the scan, so that scanning one
// piece overlaps reading the next, from the disk or from the system's cache alike. Only
// these pieces are ever held, never the whole file. A piece takes tens of microseconds to
// scan, as long as putting a thread to sleep and waking it again may take: each side first
// looks again for a while before it sleeps. The sleep is on a condition variable, not on
// std::atomic::wait, whose MinGW build can miss a wake-up and leave both threads asleep.
class TReadAhead {
  public:
    TReadAhead(TInFile& In, std::size_t PieceSize) : In(In) {
        for (TPiece& piece : Piece)
            piece.Data.resize(PieceSize);
        Reader = std::thread([this] { Run(); });
    }
    ~TReadAhead() {
        // Every piece marked free wakes a waiting reader, which then sees Stop.
        Stop.store(true);
        for (TPiece& piece : Piece)
            SetFull(piece, false);
        Reader.join();
    }
    TReadAhead(const TReadAhead&) = delete;
    TReadAhead& operator=(const TReadAhead&) = delete;

    // The next piece's bytes, valid until the next call; none once the file is done. A
    // piece is full but for the last. A read error on the reader's thread is thrown here.
    std::pair<const unsigned char*, std::size_t> Next() {
        if (Turn > 0) {
            SetFull(Piece[(Turn - 1) % Pieces], false);
        }
        if (Done) return {nullptr, 0};
        TPiece& piece = Piece[Turn % Pieces];
        AwaitFull(piece, true);
        ++Turn;
        if (piece.Last) Done = true;
        if (piece.Error) std::rethrow_exception(piece.Error);
        return {piece.Data.data(), piece.Size};
    }

  private:
    static constexpr std::size_t Pieces = 4;
    struct TPiece {
        std::vector<unsigned char> Data;
        std::size_t Size = 0; // these three are the reader's until Full is set
        bool Last = false;
        std::exception_ptr Error;
        std::atomic<bool> Full{false};
    };

    // Full changes under the lock, so that a side about to sleep cannot miss the change.
    void SetFull(TPiece& piece, bool full) {
        {
            std::lock_guard<std::mutex> lock(Mutex);
            piece.Full.store(full, std::memory_order_release);
        }
        Changed.notify_all();
    }

    void AwaitFull(TPiece& piece, bool full) {
        for (int look = 0; look < 64; ++look) {
            if (piece.Full.load(std::memory_order_acquire) == full) return;
            std::this_thread::yield();
        }
        std::unique_lock<std::mutex> lock(Mutex);
        Changed.wait(lock, [&] { return piece.Full.load(std::memory_order_acquire) == full; });
    }

    void Run() {
        for (std::size_t turn = 0;; ++turn) {
            TPiece& piece = Piece[turn % Pieces];
            AwaitFull(piece, false);
            if (Stop.load()) return;
            std::size_t got = 0;
            std::exception_ptr error;
            try {
                while (got < piece.Data.size()) {
                    const std::size_t n = In.Read(reinterpret_cast<char*>(piece.Data.data()) + got,
                                                  piece.Data.size() - got);
                    if (n == 0) break;
                    got += n;
                }
            } catch (...) {
                error = std::current_exception();
            }
            const bool last = error || got < piece.Data.size();
            piece.Size = got;
            piece.Last = last;
            piece.Error = error;
            SetFull(piece, true);
            if (last) return;
        }
    }

    TInFile& In;
    std::array<TPiece, Pieces> Piece;
    std::size_t Turn = 0; // pieces handed out so far
    bool Done = false;
    std::atomic<bool> Stop{false};
    std::mutex Mutex;
    std::condition_variable Changed;
    std::thread Reader;
};

} // namespace

void GetExeSig(const std::string& FileName, std::string& Signature, std::string& Flavour) {
    Flavour = "?";
    const std::string laa = LaaText(FileName);
    TInFile in;
    std::string sysMessage;
    if (!in.Open(FileName, sysMessage)) {
        Signature = "Error";
        return;
    }
    // Read in large pieces, scanned as the 2048-byte blocks the rules are made of; the last
    // block is the short one (possibly empty) that ends the file.
    TSignatureScanner scanner;
    try {
        TReadAhead reader(in, 128 * SignatureBlockSize);
        for (auto piece = reader.Next(); piece.second != 0; piece = reader.Next())
            for (std::size_t at = 0; at < piece.second; at += SignatureBlockSize)
                scanner.ScanBlock(piece.first + at,
                                  std::min(SignatureBlockSize, piece.second - at));
    } catch (const TFileError&) {
        in.Close();
        Signature = "Error";
        return;
    }
    in.Close();
    const std::uint32_t found = scanner.Found();
    const bool delphiRes =
        (found & 1) && !(found >> MarkOverride & 1) && HasDelphiResource(FileName);
    const int winner = SignatureWinner(found, delphiRes);
    Flavour = SignatureFlavour(winner);
    Signature = std::string(SignatureNames[winner]) +
                ((found >> MarkKalvern & 1) ? "(Kalvern)" : "") + " " + laa;
}

std::string GetExeSig(const std::string& FileName) {
    std::string signature, flavour;
    GetExeSig(FileName, signature, flavour);
    return signature;
}

} // namespace pelvarn
