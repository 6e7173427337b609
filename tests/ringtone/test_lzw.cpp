#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ringtone/LzwDecoder.h"
#include "ringtone/LzwEncoder.h"
#include "ringtone/LzwFile.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/Files.h"
#include "tests/support/TempDir.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Pack(const Bytes& input)
{
    return LzwCompressBytes(input.data(), input.size());
}

// Reads codes least significant bit first, independently of the decoder.
class CCodeReader {
public:
    explicit CCodeReader(const Bytes& data) : m_data(data) {}
    unsigned Read(unsigned width)
    {
        unsigned v = 0;
        for (unsigned i = 0; i < width; ++i, ++m_pos)
            v |= ((m_data.at(m_pos / 8) >> (m_pos % 8)) & 1u) << i;
        return v;
    }
    [[nodiscard]] std::size_t Position() const { return m_pos; }

private:
    const Bytes& m_data;
    std::size_t m_pos = 0;
};

// Every byte pair occurs once: each step adds one entry and writes one byte code.
Bytes DeBruijnPairs()
{
    Bytes out;
    for (unsigned a = 0; a < 256; ++a) {
        out.push_back(static_cast<std::uint8_t>(a));
        for (unsigned b = a + 1; b < 256; ++b) {
            out.push_back(static_cast<std::uint8_t>(a));
            out.push_back(static_cast<std::uint8_t>(b));
        }
    }
    return out;
}

Bytes RandomBytes(std::size_t n, unsigned seed, unsigned alphabet = 256)
{
    std::mt19937 rng(seed);
    Bytes out(n);
    for (auto& b : out)
        b = static_cast<std::uint8_t>(rng() % alphabet);
    return out;
}

void ExpectRoundTrip(const Bytes& input, const std::string& name)
{
    Bytes packed = Pack(input);
    Bytes out;
    std::string error;
    ASSERT_TRUE(LzwDecompress(packed.data(), packed.size(), input.size(), out, error)) << name << ": " << error;
    EXPECT_TRUE(out == input) << name;
}

TEST(Lzw, AbababaGivesTheSevenByteStream)
{
    EXPECT_EQ(Pack({'A', 'B', 'A', 'B', 'A', 'B', 'A'}), Hex("00 83 08 11 48 30 20"));
    EXPECT_EQ(Pack({}), Hex("00 03 02")) << "an empty input is a clear and an end code";
}

TEST(Lzw, WidthGrowsAfterCode512AndTheDictionaryStartsOverWhenFull)
{
    Bytes input = DeBruijnPairs();
    input.resize(4000);
    Bytes packed = Pack(input);
    CCodeReader r(packed);
    EXPECT_EQ(r.Read(9), 256u);
    // Entry c is made when input[c - 258] is written; the width grows after c = 512, 1024, 2048.
    unsigned width = 9;
    std::size_t i = 0;
    for (unsigned c = 258; c <= 4096; ++c, ++i) {
        ASSERT_EQ(r.Read(width), input[i]) << "code for entry " << c;
        if (c == 512 || c == 1024 || c == 2048)
            ++width;
    }
    EXPECT_EQ(r.Read(12), 256u) << "clear when code 4096 would be next";
    EXPECT_EQ(r.Read(9), input[i]) << "9-bit codes again";
}

TEST(Lzw, RoundTripsThroughResetsAndEveryWidthChange)
{
    ExpectRoundTrip(RandomBytes(200000, 1), "random bytes");
    ExpectRoundTrip(RandomBytes(200000, 2, 4), "four symbols");
    ExpectRoundTrip(Bytes(1 << 20, 0), "a megabyte of zeros");
    Bytes abab;
    for (int i = 0; i < 300000; ++i)
        abab.push_back("ABAB ABBA"[i % 9]);
    ExpectRoundTrip(abab, "a repeated phrase");
    ExpectRoundTrip(DeBruijnPairs(), "every byte pair once");
    // The end code keeps the width of the last data code even when the decoder
    // would grow there: every length across the width changes and the reset.
    Bytes pairs = DeBruijnPairs();
    for (std::size_t n : {0, 1, 2, 254, 255, 256, 257, 766, 767, 768, 1790, 1791, 1792, 3837, 3838, 3839, 3840, 3841})
        ExpectRoundTrip(Bytes(pairs.begin(), pairs.begin() + static_cast<long>(n)), "pairs of " + std::to_string(n));
}

TEST(Lzw, DecoderRefusesDamagedStreams)
{
    Bytes good = Pack({'A', 'B', 'A', 'B', 'A', 'B', 'A'});
    struct Case {
        const char* name;
        Bytes data;
        std::size_t max;
        const char* error;
    };
    Bytes trailing = good;
    trailing.push_back(0);
    Bytes dirtyPad = good;
    dirtyPad.back() |= 0x80;
    const Case cases[] = {
        {"empty data", {}, 100, "the data ends without the end code at bit 0"},
        {"no clear code first", Hex("41 00"), 100, "the data does not start with the clear code"},
        {"cut short", Bytes(good.begin(), good.end() - 2), 100, "the data ends without the end code at bit 36"},
        {"a code beyond the dictionary", Hex("00 83 94 04"), 100, "code 293 at bit 18 is not in the dictionary"},
        {"a string code right after the clear", Hex("00 05 02"), 100,
         "code 258 at bit 9 is not a byte, as the first code after a clear must be"},
        {"bytes after the end", trailing, 100, "data follows the end code (1 bytes)"},
        {"bits after the end", dirtyPad, 100, "the bits after the end code are not zero"},
        {"more output than allowed", good, 6, "the data unpacks to more than 6 bytes"},
    };
    for (const Case& k : cases) {
        Bytes out{1, 2, 3};
        std::string error;
        EXPECT_FALSE(LzwDecompress(k.data.data(), k.data.size(), k.max, out, error)) << k.name;
        EXPECT_EQ(error, k.error) << k.name;
        EXPECT_TRUE(out.empty()) << k.name;
    }
}

TEST(Lzw, PrefixStopsAtTheLimitWithExactlyTheFirstBytes)
{
    // Long repeats make long strings, so the limit falls inside one code's string.
    Bytes input(20000, 'x');
    Bytes more = RandomBytes(3000, 5, 4);
    input.insert(input.end(), more.begin(), more.end());
    Bytes packed = Pack(input);
    for (std::size_t limit : {std::size_t{0}, std::size_t{14}, std::size_t{16658}, input.size() - 1}) {
        Bytes out;
        bool complete = true;
        std::string error;
        ASSERT_TRUE(LzwDecompressPrefix(packed.data(), packed.size(), limit, out, complete, error)) << error;
        EXPECT_FALSE(complete) << limit;
        EXPECT_TRUE(out == Bytes(input.begin(), input.begin() + static_cast<long>(limit))) << limit;
    }
    Bytes out;
    bool complete = false;
    std::string error;
    ASSERT_TRUE(LzwDecompressPrefix(packed.data(), packed.size(), input.size(), out, complete, error)) << error;
    EXPECT_TRUE(complete);
    EXPECT_TRUE(out == input);

    Bytes cut(packed.begin(), packed.end() - 2);
    EXPECT_FALSE(LzwDecompressPrefix(cut.data(), cut.size(), input.size(), out, complete, error))
        << "damage before the limit is still a fault";
    EXPECT_TRUE(out.empty());
}

TEST(Lzw, DecoderSurvivesRandomDamage)
{
    Bytes input = RandomBytes(5000, 7, 16);
    Bytes packed = Pack(input);
    std::mt19937 rng(11);
    for (int round = 0; round < 3000; ++round) {
        Bytes damaged = round % 3 == 0 ? RandomBytes(rng() % 300, static_cast<unsigned>(round)) : packed;
        if (round % 3 != 0) {
            for (int flips = 0; flips < 1 + round % 4; ++flips)
                damaged[rng() % damaged.size()] ^= static_cast<std::uint8_t>(1u << (rng() % 8));
            damaged.resize(damaged.size() - rng() % 3);
        }
        Bytes out;
        std::string error;
        if (LzwDecompress(damaged.data(), damaged.size(), 8000, out, error))
            EXPECT_LE(out.size(), 8000u);
        else
            EXPECT_FALSE(error.empty());
    }
}

TEST(LzwFile, CompressInPlaceKeepsLeadingBytesAndLeavesNoTmp)
{
    CTempDir dir;
    const std::string path = dir.File("pkg");
    Bytes input = RandomBytes(5000, 3, 8);
    WriteBytes(path, input);
    ASSERT_TRUE(CompressFileInPlace(path, 10));
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"pkg"});
    Bytes packed = ReadBytes(path);
    ASSERT_TRUE(std::equal(input.begin(), input.begin() + 10, packed.begin()));
    EXPECT_EQ(Bytes(packed.begin() + 10, packed.end()), Pack(Bytes(input.begin() + 10, input.end())));

    WriteBytes(path, input);
    ASSERT_TRUE(CompressFileInPlace(path, 0));
    EXPECT_EQ(ReadBytes(path), Pack(input));
}

TEST(LzwFile, FailuresLeaveTheFileAsItWas)
{
    CTempDir dir;
    FileError error;
    EXPECT_FALSE(CompressFileInPlace(dir.File("missing"), 0, error));
    EXPECT_EQ(error.strFile, dir.File("missing"));
    EXPECT_EQ(error.strReason, "No such file or directory");
    EXPECT_EQ(error.fault, FileFault::kOpen);
    EXPECT_TRUE(Listing(dir.Path()).empty()) << "nothing made for a missing file";

    // Random bytes code longer than they are: the coded file outgrows the limit the
    // plain one kept within.
    const Bytes input = RandomBytes(4000, 5);
    WriteBytes(dir.File("pkg"), input);
    {
        CFileSizeLimit limit(input.size());
        ASSERT_TRUE(limit.IsSet());
        EXPECT_FALSE(CompressFileInPlace(dir.File("pkg"), 0, error));
    }
    EXPECT_EQ(error.strFile, dir.File("pkg"));
    EXPECT_EQ(error.fault, FileFault::kWrite);
    EXPECT_EQ(ReadBytes(dir.File("pkg")), input);
    EXPECT_EQ(Listing(dir.Path()), std::vector<std::string>{"pkg"});
}

} // namespace
