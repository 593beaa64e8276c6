// The JPEG codec calls: status texts, what the header read reports, colour spaces and
// subsamplings both ways, bounded output, row order and padding, and errors as codes.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "jpeg/jpeg_codec.h"
#include "support/test_support.h"

namespace {

struct Picture {
    std::vector<BYTE> bytes;
    DWORD w, h, channels;
};

// Smooth colours with a little noise: far from the worst case of the encoder.
Picture smooth(DWORD w, DWORD h, DWORD channels, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    Picture p{std::vector<BYTE>(static_cast<size_t>(w) * h * channels), w, h, channels};
    for (DWORD y = 0; y < h; ++y)
        for (DWORD x = 0; x < w; ++x)
            for (DWORD c = 0; c < channels; ++c)
                p.bytes[(static_cast<size_t>(y) * w + x) * channels + c] =
                    static_cast<BYTE>(x * 150 / w + y * 50 / h + c * 15 + rng() % 6);
    return p;
}

int encode(const Picture& p, int dib_color, int jpg_color, int subsampling, DWORD quality, std::vector<BYTE>& out,
           DWORD capacity = 0)
{
    JPEG_CORE_PROPERTIES props{};
    EXPECT_EQ(JpegCodecInit(&props), JPEG_OK);
    out.assign(capacity ? capacity : p.bytes.size() * 2 + 4096, 0);
    props.DIBBytes = const_cast<BYTE*>(p.bytes.data());
    props.DIBWidth = p.w;
    props.DIBHeight = static_cast<std::int32_t>(p.h);
    props.DIBChannels = p.channels;
    props.DIBColor = dib_color;
    props.JPGBytes = out.data();
    props.JPGSizeBytes = static_cast<DWORD>(out.size());
    props.JPGWidth = p.w;
    props.JPGHeight = p.h;
    props.JPGColor = jpg_color;
    props.JPGChannels = jpg_color == JPEG_COLOR_G ? 1 : jpg_color == JPEG_COLOR_YCBCRA ? 4 : 3;
    props.JPGSubsampling = subsampling;
    props.jquality = quality;
    const int status = JpegCodecWrite(&props, JPEG_JBUFF_WRITEWHOLEIMAGE);
    if (status == JPEG_OK) out.resize(props.JPGSizeBytes);
    EXPECT_EQ(JpegCodecFree(&props), JPEG_OK);
    return status;
}

int read_params(std::vector<BYTE>& jpg, JPEG_CORE_PROPERTIES& props)
{
    EXPECT_EQ(JpegCodecInit(&props), JPEG_OK);
    props.JPGBytes = jpg.data();
    props.JPGSizeBytes = static_cast<DWORD>(jpg.size());
    return JpegCodecRead(&props, JPEG_JBUFF_READPARAMS);
}

// Decodes into rows of w × channels + pad bytes; height negative for bottom-up rows.
int decode(std::vector<BYTE>& jpg, int jpg_color, int dib_color, DWORD channels, DWORD pad, std::int32_t height,
           std::vector<BYTE>& out, DWORD width = 0)
{
    JPEG_CORE_PROPERTIES props{};
    int status = read_params(jpg, props);
    if (status != JPEG_OK) {
        JpegCodecFree(&props);
        return status;
    }
    props.JPGColor = jpg_color;
    props.DIBWidth = width ? width : props.JPGWidth;
    props.DIBHeight = height;
    props.DIBChannels = channels;
    props.DIBColor = dib_color;
    props.DIBPadBytes = pad;
    out.assign((static_cast<size_t>(props.DIBWidth) * channels + pad) * props.JPGHeight, 0xEE);
    props.DIBBytes = out.data();
    status = JpegCodecRead(&props, JPEG_JBUFF_READWHOLEIMAGE);
    JpegCodecFree(&props);
    return status;
}

int max_diff(const std::vector<BYTE>& a, const std::vector<BYTE>& b, size_t stride_a, size_t stride_b, size_t row,
             size_t rows, size_t channel_step = 1, size_t channel = 0)
{
    int worst = 0;
    for (size_t y = 0; y < rows; ++y)
        for (size_t i = channel; i < row; i += channel_step)
            worst = std::max(worst, std::abs(a[y * stride_a + i] - b[y * stride_b + i]));
    return worst;
}

TEST(JpegCodec, StatusTexts)
{
    const std::pair<int, const char*> table[] = {
        {2, "ROI Success"},           {0, "Success"},
        {-1, "Exception detected"},   {-8, "Invalid JPEG_PROPERTIES"},
        {-13, "Not JPEG"},            {-20, "Multiply frame"},
        {-28, "Output buffer too small"}, {-30, "Error access to jpeg_comment buffer"},
        {-99, "Reserved"},            {-31, "Unknown error code"},
        {3, "Unknown error code"},
    };
    for (const auto& [code, text] : table) EXPECT_STREQ(JpegCodecErrorStr(code), text) << code;
    EXPECT_EQ(std::strncmp(JpegCodecVersionStr(), "Intel(R) JPEG Library, version ", 31), 0);
}

struct Flavour {
    const char* what;
    int dib_color, jpg_color, subsampling;
    DWORD channels, file_channels;
    int tolerance;
};

class JpegFlavour : public ::testing::TestWithParam<Flavour> {};

TEST_P(JpegFlavour, EncodesAndDecodesWithinTolerance)
{
    const Flavour f = GetParam();
    const auto seed = zt::test_seed();
    SCOPED_TRACE("seed " + std::to_string(seed));
    const Picture p = smooth(37, 23, f.channels, seed);
    std::vector<BYTE> jpg;
    ASSERT_EQ(encode(p, f.dib_color, f.jpg_color, f.subsampling, 95, jpg), JPEG_OK);

    JPEG_CORE_PROPERTIES props{};
    ASSERT_EQ(read_params(jpg, props), JPEG_OK);
    EXPECT_EQ(props.JPGWidth, 37u);
    EXPECT_EQ(props.JPGHeight, 23u);
    EXPECT_EQ(props.JPGChannels, f.file_channels);
    EXPECT_EQ(props.JPGColor, f.jpg_color);
    EXPECT_EQ(props.JPGSubsampling, f.subsampling);
    JpegCodecFree(&props);

    std::vector<BYTE> back;
    const DWORD pad = 3;
    ASSERT_EQ(decode(jpg, f.jpg_color, f.dib_color, f.channels, pad, 23, back), JPEG_OK);
    const size_t row = 37 * f.channels;
    EXPECT_LE(max_diff(p.bytes, back, row, row + pad, row, 23), f.tolerance);
    for (size_t y = 0; y < 23; ++y)
        for (DWORD i = 0; i < pad; ++i) ASSERT_EQ(back[y * (row + pad) + row + i], 0xEE) << "pad written";
}

INSTANTIATE_TEST_SUITE_P(
    Spaces, JpegFlavour,
    ::testing::Values(Flavour{"rgb422", JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_422, 3, 3, 10},
                      Flavour{"bgr411", JPEG_COLOR_BGR, JPEG_COLOR_YCBCR, JPEG_SUB_411, 3, 3, 10},
                      Flavour{"rgbnone", JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_NONE, 3, 3, 10},
                      Flavour{"grey", JPEG_COLOR_G, JPEG_COLOR_G, JPEG_SUB_NONE, 1, 1, 10},
                      Flavour{"rgba4224", JPEG_COLOR_RGBA, JPEG_COLOR_YCBCRA, JPEG_SUB_4224, 4, 4, 10},
                      Flavour{"rgba4114", JPEG_COLOR_RGBA, JPEG_COLOR_YCBCRA, JPEG_SUB_4114, 4, 4, 10}),
    [](const auto& info) { return std::string(info.param.what); });

TEST(JpegCodec, KeyOfFourChannelFilesKeepsFullResolution)
{
    // A key that alternates every column: 4:2:2 would smear it, full resolution keeps it.
    Picture p = smooth(32, 16, 4, 5);
    for (size_t i = 0; i < 32 * 16; ++i) p.bytes[i * 4 + 3] = (i % 2) ? 255 : 0;
    std::vector<BYTE> jpg, back;
    ASSERT_EQ(encode(p, JPEG_COLOR_RGBA, JPEG_COLOR_YCBCRA, JPEG_SUB_4224, 100, jpg), JPEG_OK);
    ASSERT_EQ(decode(jpg, JPEG_COLOR_YCBCRA, JPEG_COLOR_RGBA, 4, 0, 16, back), JPEG_OK);
    EXPECT_LE(max_diff(p.bytes, back, 128, 128, 128, 16, 4, 3), 8);
}

TEST(JpegCodec, RowOrderFollowsTheSignOfTheHeight)
{
    const Picture p = smooth(16, 16, 3, 9);
    std::vector<BYTE> jpg, top, bottom;
    ASSERT_EQ(encode(p, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_NONE, 100, jpg), JPEG_OK);
    ASSERT_EQ(decode(jpg, JPEG_COLOR_YCBCR, JPEG_COLOR_RGB, 3, 0, 16, top), JPEG_OK);
    ASSERT_EQ(decode(jpg, JPEG_COLOR_YCBCR, JPEG_COLOR_RGB, 3, 0, -16, bottom), JPEG_OK);
    for (size_t y = 0; y < 16; ++y)
        EXPECT_EQ(std::memcmp(&top[y * 48], &bottom[(15 - y) * 48], 48), 0) << y;
}

TEST(JpegCodec, OutputNeverPassesTheGivenLength)
{
    // Noise does not compress: 24 × 24 × 3 bytes cannot hold it at quality 100.
    std::mt19937 rng(zt::test_seed());
    Picture p{std::vector<BYTE>(24 * 24 * 3), 24, 24, 3};
    for (auto& b : p.bytes) b = static_cast<BYTE>(rng());
    std::vector<BYTE> out;
    const DWORD capacity = 24 * 24 * 3;
    JPEG_CORE_PROPERTIES props{};
    ASSERT_EQ(JpegCodecInit(&props), JPEG_OK);
    out.assign(capacity + 64, 0xA5);  // guard bytes behind the capacity
    props.DIBBytes = p.bytes.data();
    props.DIBWidth = 24;
    props.DIBHeight = 24;
    props.DIBChannels = 3;
    props.DIBColor = JPEG_COLOR_RGB;
    props.JPGBytes = out.data();
    props.JPGSizeBytes = capacity;
    props.JPGColor = JPEG_COLOR_YCBCR;
    props.JPGSubsampling = JPEG_SUB_NONE;
    props.jquality = 100;
    EXPECT_EQ(JpegCodecWrite(&props, JPEG_JBUFF_WRITEWHOLEIMAGE), JPEG_BUFFER_TOO_SMALL);
    JpegCodecFree(&props);
    for (size_t i = capacity; i < out.size(); ++i) ASSERT_EQ(out[i], 0xA5) << "written past the length at " << i;
}

TEST(JpegCodec, ErrorsComeBackAsStatusCodes)
{
    JPEG_CORE_PROPERTIES props{};
    EXPECT_EQ(JpegCodecRead(&props, JPEG_JBUFF_READPARAMS), JPEG_INVALID_PROPERTIES);  // no Init
    EXPECT_EQ(JpegCodecFree(&props), JPEG_INVALID_PROPERTIES);

    std::vector<BYTE> text(100, 'x');
    EXPECT_EQ(read_params(text, props), JPEG_NOT_JPEG);
    EXPECT_EQ(JpegCodecRead(&props, JPEG_JFILE_READPARAMS), JPEG_NOT_SUPPORTED);
    JpegCodecFree(&props);

    const Picture p = smooth(40, 40, 3, 1);
    std::vector<BYTE> jpg, back;
    ASSERT_EQ(encode(p, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_422, 80, jpg), JPEG_OK);
    // Truncated in the scan: an error, not a picture padded with grey.
    std::vector<BYTE> cut(jpg.begin(), jpg.begin() + static_cast<long>(jpg.size() * 2 / 3));
    EXPECT_EQ(decode(cut, JPEG_COLOR_YCBCR, JPEG_COLOR_RGB, 3, 0, 40, back), JPEG_ERROR_EOF);
    std::vector<BYTE> header_only(jpg.begin(), jpg.begin() + 20);
    EXPECT_NE(decode(header_only, JPEG_COLOR_YCBCR, JPEG_COLOR_RGB, 3, 0, 40, back), JPEG_OK);
    // The pixel buffer must match the picture, and the file what the caller says it is.
    EXPECT_EQ(decode(jpg, JPEG_COLOR_YCBCR, JPEG_COLOR_RGB, 3, 0, 40, back, 39), JPEG_INVALID_PROPERTIES);
    EXPECT_EQ(decode(jpg, JPEG_COLOR_YCBCR, JPEG_COLOR_RGB, 4, 0, 40, back), JPEG_UNSUPPORTED_BYTES_PER_PIXEL);
    EXPECT_EQ(decode(jpg, JPEG_COLOR_YCBCRA, JPEG_COLOR_RGBA, 4, 0, 40, back), JPEG_ERR_COMP);
    // Subsamplings that do not fit the channel count.
    EXPECT_EQ(encode(p, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_4224, 80, jpg), JPEG_UNSUPPORTED_SUBSAMPLING);
    EXPECT_EQ(encode(p, JPEG_COLOR_RGB, JPEG_COLOR_YCBCRA, JPEG_SUB_4224, 80, jpg), JPEG_NOT_SUPPORTED);
}

TEST(JpegCodec, QualityChangesTheOutput)
{
    const Picture p = smooth(64, 64, 3, 4);
    std::vector<BYTE> q1, q50, q100;
    ASSERT_EQ(encode(p, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_422, 1, q1), JPEG_OK);
    ASSERT_EQ(encode(p, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_422, 50, q50), JPEG_OK);
    ASSERT_EQ(encode(p, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_422, 100, q100), JPEG_OK);
    EXPECT_LT(q1.size(), q50.size());
    EXPECT_LT(q50.size(), q100.size());
}

} // namespace

namespace {

// The picture with each pixel's first and third byte exchanged and a key byte appended
// (key_of gives it).
std::vector<BYTE> as_bgra(const Picture& p, BYTE key)
{
    std::vector<BYTE> out(static_cast<size_t>(p.w) * p.h * 4);
    for (size_t i = 0; i < static_cast<size_t>(p.w) * p.h; ++i) {
        out[i * 4] = p.bytes[i * p.channels + 2];
        out[i * 4 + 1] = p.bytes[i * p.channels + 1];
        out[i * 4 + 2] = p.bytes[i * p.channels];
        out[i * 4 + 3] = p.channels == 4 ? p.bytes[i * 4 + 3] : key;
    }
    return out;
}

} // namespace

// The frame buffer's own byte order goes through the codec with exactly the results of the
// red-green-blue orders: the same file bytes written, the same colours read.
TEST(JpegCodec, BlueGreenRedKeyPixelsMatchTheRedGreenBlueOnes)
{
    struct Case {
        const char* what;
        DWORD channels;
        int rgb_color, jpg_color, subsampling;
    } cases[] = {{"colour", 3, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_422},
                 {"colour with key", 4, JPEG_COLOR_RGBA, JPEG_COLOR_YCBCRA, JPEG_SUB_4224}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Picture rgb = smooth(37, 21, c.channels, 3);
        const Picture bgra{as_bgra(rgb, 0x5A), rgb.w, rgb.h, 4};
        std::vector<BYTE> from_rgb, from_bgra;
        ASSERT_EQ(encode(rgb, c.rgb_color, c.jpg_color, c.subsampling, 90, from_rgb), JPEG_OK);
        ASSERT_EQ(encode(bgra, JPEG_COLOR_BGRA, c.jpg_color, c.subsampling, 90, from_bgra), JPEG_OK);
        EXPECT_EQ(from_rgb, from_bgra);

        std::vector<BYTE> back_rgb, back_bgra;
        ASSERT_EQ(decode(from_rgb, c.jpg_color, c.rgb_color, c.channels, 0, 21, back_rgb), JPEG_OK);
        ASSERT_EQ(decode(from_rgb, c.jpg_color, JPEG_COLOR_BGRA, 4, 0, 21, back_bgra), JPEG_OK);
        EXPECT_EQ(as_bgra(Picture{back_rgb, rgb.w, rgb.h, c.channels}, 255), back_bgra);
    }
}

// A header that declares far more picture than the file's bytes could code is refused by the
// header read, before anyone allocates pixels for it; real files of any size pass.
TEST(JpegCodec, DeclaredSizeMustFitTheBytes)
{
    const Picture small = smooth(16, 16, 3, 8);
    std::vector<BYTE> jpg;
    ASSERT_EQ(encode(small, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_422, 80, jpg), JPEG_OK);
    ASSERT_LT(jpg.size(), 1000u);
    size_t sof = 0;
    for (size_t i = 0; i + 9 < jpg.size(); ++i) {
        if (jpg[i] == 0xFF && jpg[i + 1] == 0xC0) {
            sof = i;
            break;
        }
    }
    ASSERT_NE(sof, 0u);
    struct Case {
        unsigned w, h;
        int status;
    } cases[] = {{16, 16, JPEG_OK}, {60000, 60000, JPEG_ERROR_EOF}, {4000, 4000, JPEG_ERROR_EOF},
                 {1024, 16, JPEG_OK}};
    for (const Case& c : cases) {
        std::vector<BYTE> patched = jpg;
        patched[sof + 5] = static_cast<BYTE>(c.h >> 8);
        patched[sof + 6] = static_cast<BYTE>(c.h);
        patched[sof + 7] = static_cast<BYTE>(c.w >> 8);
        patched[sof + 8] = static_cast<BYTE>(c.w);
        JPEG_CORE_PROPERTIES props{};
        EXPECT_EQ(read_params(patched, props), c.status) << c.w << "x" << c.h;
        JpegCodecFree(&props);
    }
    // A large flat picture codes in few bytes and still loads.
    const Picture flat{std::vector<BYTE>(1024 * 1024 * 3, 0x80), 1024, 1024, 3};
    ASSERT_EQ(encode(flat, JPEG_COLOR_RGB, JPEG_COLOR_YCBCR, JPEG_SUB_422, 50, jpg), JPEG_OK);
    std::vector<BYTE> back;
    EXPECT_EQ(decode(jpg, JPEG_COLOR_YCBCR, JPEG_COLOR_RGB, 3, 0, 1024, back), JPEG_OK) << jpg.size() << " bytes";
}
