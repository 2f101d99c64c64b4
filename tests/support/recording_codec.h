// tests/support/recording_codec.h -- the tests' own reading and writing of a session recording,
// written from docs/recording.md alone, so that a test can change one record of a kept recording
// (or build a file from nothing) and know, without the reader under test, where it sits: the
// frame (waits before it) and the call number (calls before it, plus one). Writing back what was
// read gives the same bytes (a test checks that), so only the planted change differs.
#pragma once

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace testrec {

inline const uint8_t Signature[8] = {'Q', 'V', 'R', 'E', 'C', '\r', '\n', 0x1A};

struct Arg {
    uint8_t kind = 1;
    int32_t value = 0;      // kinds 1, 4, 6 (4: before the call)
    uint64_t bits = 0;      // kind 2 (32 bits), kind 5
    uint64_t textCode = 0;  // kind 3: 0 inline, 1 defines, n >= 2 refers to n - 2
    std::string text;       // kind 3 with code 0 or 1
    std::string resolved;   // kind 3: the text, its reference resolved (reading only)
    int32_t after = 0;      // kind 4
};

struct Rec {
    char tag = 'E';
    std::vector<uint8_t> raw;  // the header, kept as it was
    // 'C'
    uint64_t hashCode = 0, hash = 0;
    uint64_t native = 0;  // the hash, its reference resolved (reading only)
    std::vector<Arg> args;
    uint8_t resultKind = 0;
    int32_t intResult = 0;
    uint64_t resultBits = 0;
    uint32_t vector[3] = {};
    // 'W' milliseconds, 'T' difference, 'K' key, 'E' reason
    uint64_t number = 0;
    int32_t delta = 0;
    uint64_t word = 0;
    // 'P'
    uint64_t capacity = 0;
    int32_t count = 0;
    std::vector<int32_t> handles;
};

using Block = std::vector<Rec>;

struct File {
    uint64_t version = 1;
    std::vector<Block> blocks;
};

// ---- writing ----

inline void Varint(std::vector<uint8_t>& out, uint64_t v)
{
    for (; v >= 0x80; v >>= 7)
        out.push_back(static_cast<uint8_t>(v | 0x80));
    out.push_back(static_cast<uint8_t>(v));
}
inline uint32_t ZigZag(int32_t v) { return (static_cast<uint32_t>(v) << 1) ^ (0u - (static_cast<uint32_t>(v) >> 31)); }
inline void Fixed(std::vector<uint8_t>& out, uint64_t v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void Text(std::vector<uint8_t>& out, const std::string& s)
{
    Varint(out, s.size());
    out.insert(out.end(), s.begin(), s.end());
}

// CRC-32 as zip computes it, bit by bit.
inline uint32_t Crc(const std::vector<uint8_t>& data)
{
    uint32_t crc = 0xFFFFFFFFu;
    for (uint8_t b : data) {
        crc ^= b;
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1u) != 0 ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
    }
    return ~crc;
}

inline void Encode(std::vector<uint8_t>& out, const Rec& r)
{
    if (r.tag == 'H') {
        out.insert(out.end(), r.raw.begin(), r.raw.end());
        return;
    }
    out.push_back(static_cast<uint8_t>(r.tag));
    switch (r.tag) {
    case 'C':
        Varint(out, r.hashCode);
        if (r.hashCode < 2)
            Fixed(out, r.hash, 8);
        Varint(out, r.args.size());
        for (const Arg& a : r.args) {
            out.push_back(a.kind);
            if (a.kind == 2)
                Fixed(out, a.bits, 4);
            else if (a.kind == 5)
                Fixed(out, a.bits, 8);
            else if (a.kind == 3) {
                Varint(out, a.textCode);
                if (a.textCode < 2)
                    Text(out, a.text);
            } else
                Varint(out, ZigZag(a.value));
        }
        out.push_back(r.resultKind);
        if (r.resultKind == 1)
            Varint(out, ZigZag(r.intResult));
        else if (r.resultKind == 2)
            Fixed(out, r.resultBits, 4);
        else if (r.resultKind == 3)
            Fixed(out, r.resultBits, 8);
        else if (r.resultKind == 4)
            for (uint32_t v : r.vector)
                Fixed(out, v, 4);
        for (const Arg& a : r.args) {
            if (a.kind == 4)
                Varint(out, ZigZag(a.after));
        }
        break;
    case 'T': Varint(out, ZigZag(r.delta)); break;
    case 'K':
        Varint(out, r.number);
        Varint(out, r.word);
        break;
    case 'P':
        Varint(out, r.capacity);
        Varint(out, ZigZag(r.count));
        Varint(out, r.handles.size());
        for (int32_t h : r.handles)
            Varint(out, ZigZag(h));
        break;
    default: Varint(out, r.number); break;  // 'W', 'E'
    }
}

// A block around any payload: 'B', its length, the payload, its checksum.
inline void Frame(std::vector<uint8_t>& out, const std::vector<uint8_t>& payload)
{
    out.push_back('B');
    Varint(out, payload.size());
    out.insert(out.end(), payload.begin(), payload.end());
    Fixed(out, Crc(payload), 4);
}

inline std::vector<uint8_t> Start(uint64_t version = 1)
{
    std::vector<uint8_t> out(Signature, Signature + 8);
    Varint(out, version);
    return out;
}

inline std::vector<uint8_t> Encode(const File& f)
{
    std::vector<uint8_t> out = Start(f.version);
    for (const Block& b : f.blocks) {
        std::vector<uint8_t> payload;
        for (const Rec& r : b)
            Encode(payload, r);
        Frame(out, payload);
    }
    return out;
}

// ---- reading (a sound file only; anything else throws) ----

class In {
public:
    In(const uint8_t* p, size_t n) : p_(p), n_(n) {}
    bool Done() const { return at_ == n_; }
    size_t At() const { return at_; }
    uint8_t Byte()
    {
        if (at_ >= n_)
            throw std::runtime_error("cut short");
        return p_[at_++];
    }
    uint64_t Varint()
    {
        uint64_t v = 0;
        for (int shift = 0;; shift += 7) {
            const uint8_t b = Byte();
            v |= static_cast<uint64_t>(b & 0x7F) << shift;
            if ((b & 0x80) == 0)
                return v;
        }
    }
    int32_t Zig()
    {
        const auto v = static_cast<uint32_t>(Varint());
        return static_cast<int32_t>((v >> 1) ^ (0u - (v & 1u)));
    }
    uint64_t Fixed(int bytes)
    {
        uint64_t v = 0;
        for (int i = 0; i < bytes; ++i)
            v |= static_cast<uint64_t>(Byte()) << (8 * i);
        return v;
    }
    std::string Text()
    {
        const size_t length = static_cast<size_t>(Varint());
        std::string s;
        for (size_t i = 0; i < length; ++i)
            s.push_back(static_cast<char>(Byte()));
        return s;
    }

private:
    const uint8_t* p_;
    size_t n_, at_ = 0;
};

inline Rec DecodeRecord(In& in, bool header)
{
    Rec r;
    r.tag = static_cast<char>(in.Byte());
    switch (r.tag) {
    case 'H': {
        if (!header)
            throw std::runtime_error("a header out of place");
        in.Varint();
        in.Text();
        const uint64_t n = in.Varint();
        for (uint64_t k = 0; k < n; ++k)
            in.Text(), in.Varint();
        break;
    }
    case 'C': {
        r.hashCode = in.Varint();
        if (r.hashCode < 2)
            r.hash = in.Fixed(8);
        r.args.resize(static_cast<size_t>(in.Varint()));
        for (Arg& a : r.args) {
            a.kind = in.Byte();
            if (a.kind == 2)
                a.bits = in.Fixed(4);
            else if (a.kind == 5)
                a.bits = in.Fixed(8);
            else if (a.kind == 3) {
                a.textCode = in.Varint();
                if (a.textCode < 2)
                    a.text = in.Text();
            } else
                a.value = in.Zig();
        }
        r.resultKind = in.Byte();
        if (r.resultKind == 1)
            r.intResult = in.Zig();
        else if (r.resultKind == 2)
            r.resultBits = in.Fixed(4);
        else if (r.resultKind == 3)
            r.resultBits = in.Fixed(8);
        else if (r.resultKind == 4)
            for (uint32_t& v : r.vector)
                v = static_cast<uint32_t>(in.Fixed(4));
        for (Arg& a : r.args) {
            if (a.kind == 4)
                a.after = in.Zig();
        }
        break;
    }
    case 'T': r.delta = in.Zig(); break;
    case 'K':
        r.number = in.Varint();
        r.word = in.Varint();
        break;
    case 'P':
        r.capacity = in.Varint();
        r.count = in.Zig();
        r.handles.resize(static_cast<size_t>(in.Varint()));
        for (int32_t& h : r.handles)
            h = in.Zig();
        break;
    case 'W':
    case 'E': r.number = in.Varint(); break;
    default: throw std::runtime_error("a record of unknown kind");
    }
    return r;
}

inline File Decode(const std::vector<uint8_t>& bytes)
{
    if (bytes.size() < 9 || std::memcmp(bytes.data(), Signature, 8) != 0)
        throw std::runtime_error("no signature");
    In file(bytes.data() + 8, bytes.size() - 8);
    File f;
    f.version = file.Varint();
    std::vector<uint64_t> hashes;
    std::vector<std::string> texts;
    while (!file.Done()) {
        if (file.Byte() != 'B')
            throw std::runtime_error("not a block");
        const size_t length = static_cast<size_t>(file.Varint());
        const size_t begin = 8 + file.At();
        for (size_t i = 0; i < length; ++i)
            file.Byte();
        file.Fixed(4);
        In payload(bytes.data() + begin, length);
        Block block;
        while (!payload.Done()) {
            const size_t start = payload.At();
            Rec r = DecodeRecord(payload, f.blocks.empty() && block.empty());
            if (r.tag == 'H')
                r.raw.assign(bytes.begin() + static_cast<std::ptrdiff_t>(begin + start),
                             bytes.begin() + static_cast<std::ptrdiff_t>(begin + payload.At()));
            if (r.tag == 'C') {
                if (r.hashCode == 1)
                    hashes.push_back(r.hash);
                r.native = r.hashCode < 2 ? r.hash : hashes.at(static_cast<size_t>(r.hashCode - 2));
                for (Arg& a : r.args) {
                    if (a.kind != 3)
                        continue;
                    if (a.textCode == 1)
                        texts.push_back(a.text);
                    a.resolved = a.textCode < 2 ? a.text : texts.at(static_cast<size_t>(a.textCode - 2));
                }
            }
            block.push_back(std::move(r));
        }
        f.blocks.push_back(std::move(block));
    }
    return f;
}

inline std::vector<uint8_t> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

// Where a record sits in the replay's own counting.
struct Place {
    size_t block, index;
    uint64_t frame;  // waits before it
    uint64_t call;   // calls before it, plus one
};

// Every record's place, in order.
inline std::vector<Place> Places(const File& f)
{
    std::vector<Place> places;
    uint64_t waits = 0, calls = 0;
    for (size_t b = 0; b < f.blocks.size(); ++b) {
        for (size_t i = 0; i < f.blocks[b].size(); ++i) {
            const Rec& r = f.blocks[b][i];
            places.push_back(Place{b, i, waits, calls + 1});
            waits += r.tag == 'W';
            calls += r.tag == 'C';
        }
    }
    return places;
}

}  // namespace testrec
