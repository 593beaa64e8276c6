// The JPEG codec calls over libjpeg-turbo.
//
// libjpeg reports fatal errors through error_exit, which must not return. Here it longjmps
// back to the setjmp at the top of the one function that drives libjpeg for a call. Those
// functions hold only plain C data between setjmp and the last libjpeg call (no object with a
// destructor is ever jumped over), and every buffer libjpeg needs comes from its own memory
// pools, which jpeg_destroy releases on both paths. Warnings are silenced, except that running
// out of data while pixels are still owed is treated as the error it is: libjpeg would
// otherwise pad a truncated picture with grey and report success.
#include "jpeg/jpeg_codec.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>

#include "core/checked.h"
#include "core/errors.h"

namespace {

constexpr std::uint32_t kStateMagic = 0x4A504743u;  // marks a record JpegCodecInit prepared
// A progressive picture may carry any number of scans, each re-read over the whole picture;
// real encoders use about ten. Far more is a hostile file that would take minutes to decode.
constexpr int kMaxScans = 256;

struct CodecState {
    std::uint32_t magic = kStateMagic;
};

// libjpeg sees the first member; the rest is ours.
struct ErrorTrap {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
    int status;
    bool eof_is_fatal;
};

struct ScanLimit {
    jpeg_progress_mgr mgr;
    ErrorTrap* trap;
};

struct BoundedDest {
    jpeg_destination_mgr mgr;
    ErrorTrap* trap;
};

int status_of(int msg_code)
{
    switch (msg_code) {
    case JERR_NO_SOI: return JPEG_NOT_JPEG;
    case JERR_OUT_OF_MEMORY:
    case JERR_NO_BACKING_STORE:
    case JERR_IMAGE_TOO_BIG:
    case JERR_WIDTH_OVERFLOW: return JPEG_MEMORY_ERROR;
    case JERR_BAD_HUFF_TABLE:
    case JERR_HUFF_CLEN_OVERFLOW:
    case JERR_HUFF_MISSING_CODE:
    case JERR_DHT_INDEX: return JPEG_BAD_HUFFMAN_TABLE;
    case JERR_DQT_INDEX:
    case JERR_MISMATCHED_QUANT_TABLE: return JPEG_BAD_QUANT_TABLE;
    case JERR_NO_HUFF_TABLE: return JPEG_ERR_NO_HUF;
    case JERR_NO_QUANT_TABLE: return JPEG_ERR_NO_QUAN;
    case JERR_SOF_DUPLICATE: return JPEG_ERR_MULT_FRAME;
    case JERR_SOF_NO_SOS:
    case JERR_SOS_NO_SOF: return JPEG_ERR_SOF;
    case JERR_SOF_UNSUPPORTED:
    case JERR_ARITH_NOTIMPL:
    case JERR_NOT_COMPILED:
    case JERR_BAD_PRECISION: return JPEG_UNSUPPORTED_FRAME;
    case JERR_NO_IMAGE: return JPEG_ERR_NO_IMAGE;
    case JERR_EMPTY_IMAGE: return JPEG_ERR_DNL;
    case JERR_INPUT_EMPTY:
    case JERR_INPUT_EOF: return JPEG_ERROR_EOF;
    case JERR_BAD_COMPONENT_ID:
    case JERR_COMPONENT_COUNT:
    case JERR_BAD_SAMPLING: return JPEG_ERR_COMP;
    case JERR_CONVERSION_NOTIMPL:
    case JERR_BAD_IN_COLORSPACE:
    case JERR_BAD_J_COLORSPACE: return JPEG_NOT_SUPPORTED;
    default: return JPEG_ERR_DATA;
    }
}

[[noreturn]] void jump_out(ErrorTrap* trap, int status)
{
    if (trap->status == 0) trap->status = status;
    std::longjmp(trap->jump, 1);
}

extern "C" void trap_error_exit(j_common_ptr cinfo)
{
    auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
    jump_out(trap, status_of(cinfo->err->msg_code));
}

extern "C" void trap_emit_message(j_common_ptr cinfo, int level)
{
    auto* trap = reinterpret_cast<ErrorTrap*>(cinfo->err);
    if (level < 0) {
        ++cinfo->err->num_warnings;
        if (trap->eof_is_fatal && cinfo->err->msg_code == JWRN_JPEG_EOF) jump_out(trap, JPEG_ERROR_EOF);
    }
}

extern "C" void trap_output_message(j_common_ptr) {}

jpeg_error_mgr* install_trap(ErrorTrap& trap)
{
    jpeg_std_error(&trap.mgr);
    trap.mgr.error_exit = trap_error_exit;
    trap.mgr.emit_message = trap_emit_message;
    trap.mgr.output_message = trap_output_message;
    trap.status = 0;
    trap.eof_is_fatal = true;
    return &trap.mgr;
}

extern "C" void limit_scans(j_common_ptr cinfo)
{
    if (!cinfo->is_decompressor) return;
    auto* limit = reinterpret_cast<ScanLimit*>(cinfo->progress);
    if (reinterpret_cast<j_decompress_ptr>(cinfo)->input_scan_number > kMaxScans) jump_out(limit->trap, JPEG_ERR_DATA);
}

extern "C" void dest_init(j_compress_ptr) {}
extern "C" boolean dest_full(j_compress_ptr cinfo)
{
    // Called only when libjpeg has more to write and no room is left: the picture does not fit.
    jump_out(reinterpret_cast<BoundedDest*>(cinfo->dest)->trap, JPEG_BUFFER_TOO_SMALL);
}
extern "C" void dest_term(j_compress_ptr) {}

bool prepared(const JPEG_CORE_PROPERTIES* p)
{
    return p && p->codec_state && static_cast<const CodecState*>(p->codec_state)->magic == kStateMagic;
}

int channels_of(int colour)
{
    switch (colour) {
    case JPEG_COLOR_RGB:
    case JPEG_COLOR_BGR:
    case JPEG_COLOR_YCBCR: return 3;
    case JPEG_COLOR_G: return 1;
    case JPEG_COLOR_RGBA:
    case JPEG_COLOR_BGRA:
    case JPEG_COLOR_YCBCRA:
    case JPEG_COLOR_CMYK:
    case JPEG_COLOR_YCCK: return 4;
    default: return 0;
    }
}

// Full-range YCbCr as JFIF defines it, in 16-bit fixed point with libjpeg's rounding, for the
// four-channel files whose colour conversion libjpeg does not offer.
constexpr int kFix = 16;
constexpr std::int32_t kHalf = 1 << (kFix - 1);

inline std::uint8_t clamp255(std::int32_t v)
{
    return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v);
}

// Four-byte pixels with red at byte 0 (RGBA) or at byte 2 (BGRA, bgr set).
void rgba_to_ycca(const std::uint8_t* src, std::uint8_t* dst, std::size_t n, bool bgr)
{
    const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
    for (std::size_t i = 0; i < n; ++i, src += 4, dst += 4) {
        const std::int32_t r = src[ri], g = src[1], b = src[bi];
        dst[0] = static_cast<std::uint8_t>((19595 * r + 38470 * g + 7471 * b + kHalf) >> kFix);
        dst[1] = static_cast<std::uint8_t>((-11059 * r - 21709 * g + 32768 * b + (128 << kFix) + kHalf - 1) >> kFix);
        dst[2] = static_cast<std::uint8_t>((32768 * r - 27439 * g - 5329 * b + (128 << kFix) + kHalf - 1) >> kFix);
        dst[3] = src[3];
    }
}

void ycca_to_rgba_in_place(std::uint8_t* p, std::size_t n, bool bgr)
{
    const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        const std::int32_t y = p[0], cb = p[1] - 128, cr = p[2] - 128;
        p[ri] = clamp255(y + ((91881 * cr + kHalf) >> kFix));
        p[1] = clamp255(y + ((-22554 * cb - 46802 * cr + kHalf) >> kFix));
        p[bi] = clamp255(y + ((116130 * cb + kHalf) >> kFix));
    }
}

// c × k / 255, rounded: an inverted ink and the inverted black give the colour's share.
inline std::uint8_t ink_times_black(std::int32_t c, std::int32_t k)
{
    const std::int32_t t = c * k + 128;
    return static_cast<std::uint8_t>((t + (t >> 8)) >> 8);
}

// Inverted C, M, Y, K (as Adobe-marked files store them) to colours with key 255.
void inverted_cmyk_to_rgba_in_place(std::uint8_t* p, std::size_t n, bool bgr)
{
    const int ri = bgr ? 2 : 0, bi = bgr ? 0 : 2;
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        const std::int32_t c = p[0], m = p[1], y = p[2], k = p[3];
        p[ri] = ink_times_black(c, k);
        p[1] = ink_times_black(m, k);
        p[bi] = ink_times_black(y, k);
        p[3] = 255;
    }
}

// Whether the file's bytes can hold the picture its header declares. Every block of the first
// scan takes at least one bit with Huffman coding, and every MCU holds a block of each of its
// components. Arithmetic coding can take much less for flat pictures, so it gets 64 times the
// room, which still keeps a few hundred bytes far from a gigabyte of pixels.
bool declared_size_fits(const jpeg_decompress_struct& c, std::size_t bytes)
{
    std::uint64_t hmax = 1, vmax = 1;
    for (int i = 0; i < c.num_components; ++i) {
        hmax = std::max<std::uint64_t>(hmax, static_cast<std::uint64_t>(c.comp_info[i].h_samp_factor));
        vmax = std::max<std::uint64_t>(vmax, static_cast<std::uint64_t>(c.comp_info[i].v_samp_factor));
    }
    const std::uint64_t across = (c.image_width + 8 * hmax - 1) / (8 * hmax);
    const std::uint64_t down = (c.image_height + 8 * vmax - 1) / (8 * vmax);
    const std::uint64_t per_byte = c.arith_code ? 512 : 8;
    return across * down <= static_cast<std::uint64_t>(bytes) * per_byte;
}

JSAMPROW row_at(BYTE* base, std::size_t stride, std::int32_t dib_height, JDIMENSION height, JDIMENSION y)
{
    const JDIMENSION r = dib_height > 0 ? y : height - 1 - y;
    return base + static_cast<std::size_t>(r) * stride;
}

void set_sampling(jpeg_compress_struct& c, int h, int v)
{
    for (int i = 0; i < c.num_components; ++i) {
        c.comp_info[i].h_samp_factor = 1;
        c.comp_info[i].v_samp_factor = 1;
    }
    c.comp_info[0].h_samp_factor = h;
    c.comp_info[0].v_samp_factor = v;
    if (c.num_components == 4) {
        c.comp_info[3].h_samp_factor = h;
        c.comp_info[3].v_samp_factor = v;
    }
}

// Drives one decompression: header only, or the whole picture into the pixel buffer.
int run_decoder(JPEG_CORE_PROPERTIES* p, bool whole)
{
    jpeg_decompress_struct cinfo;
    ErrorTrap trap;
    ScanLimit limit;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = install_trap(trap);
    if (setjmp(trap.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return ZK_FAIL(trap.status);
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = static_cast<long>(zk::kMaxBufferBytes);
    limit.mgr.progress_monitor = limit_scans;
    limit.trap = &trap;
    cinfo.progress = &limit.mgr;
    jpeg_mem_src(&cinfo, p->JPGBytes, p->JPGSizeBytes);
    jpeg_read_header(&cinfo, TRUE);
    if (!declared_size_fits(cinfo, p->JPGSizeBytes)) jump_out(&trap, JPEG_ERROR_EOF);

    if (!whole) {
        p->JPGWidth = cinfo.image_width;
        p->JPGHeight = cinfo.image_height;
        p->JPGChannels = static_cast<DWORD>(cinfo.num_components);
        switch (cinfo.num_components) {
        case 1: p->JPGColor = JPEG_COLOR_G; break;
        case 3: p->JPGColor = JPEG_COLOR_YCBCR; break;
        case 4:
            // Our own key files carry no Adobe marker; other programs' CMYK files do.
            if (!cinfo.saw_Adobe_marker) {
                p->JPGColor = JPEG_COLOR_YCBCRA;
            } else {
                p->JPGColor = cinfo.jpeg_color_space == JCS_YCCK ? JPEG_COLOR_YCCK : JPEG_COLOR_CMYK;
            }
            break;
        default: p->JPGColor = JPEG_COLOR_OTHER; break;
        }
        p->JPGSubsampling = JPEG_SUB_NONE;
        if (cinfo.num_components >= 3) {
            const int h = cinfo.comp_info[0].h_samp_factor, v = cinfo.comp_info[0].v_samp_factor;
            const bool four = cinfo.num_components == 4;
            if (h == 2 && v == 1) p->JPGSubsampling = four ? JPEG_SUB_4224 : JPEG_SUB_422;
            if (h == 2 && v == 2) p->JPGSubsampling = four ? JPEG_SUB_4114 : JPEG_SUB_411;
        }
        jpeg_destroy_decompress(&cinfo);
        return JPEG_OK;
    }

    // The file must be what the caller was told it is, and the pixel buffer must fit it.
    const int comps = cinfo.num_components;
    const int want_comps = p->JPGColor == JPEG_COLOR_OTHER ? comps : channels_of(p->JPGColor);
    if (p->JPGColor == JPEG_COLOR_RGB || p->JPGColor == JPEG_COLOR_BGR || p->JPGColor == JPEG_COLOR_RGBA ||
        p->JPGColor == JPEG_COLOR_BGRA || want_comps != comps)
        jump_out(&trap, JPEG_ERR_COMP);
    if (!p->DIBBytes || p->DIBWidth != cinfo.image_width || p->DIBHeight == 0 ||
        static_cast<std::int64_t>(p->DIBHeight < 0 ? -static_cast<std::int64_t>(p->DIBHeight) : p->DIBHeight) !=
            cinfo.image_height)
        jump_out(&trap, JPEG_INVALID_PROPERTIES);
    const int dib_channels = p->DIBColor == JPEG_COLOR_OTHER ? static_cast<int>(p->DIBChannels) : channels_of(p->DIBColor);
    if (dib_channels == 0 || static_cast<DWORD>(dib_channels) != p->DIBChannels ||
        p->DIBColor == JPEG_COLOR_YCBCR || p->DIBColor == JPEG_COLOR_YCBCRA || p->DIBColor == JPEG_COLOR_CMYK ||
        p->DIBColor == JPEG_COLOR_YCCK)
        jump_out(&trap, JPEG_UNSUPPORTED_BYTES_PER_PIXEL);
    std::size_t pixels = 0;
    if (!zk::image_bytes(cinfo.image_width, cinfo.image_height, static_cast<std::size_t>(dib_channels), pixels))
        jump_out(&trap, JPEG_MEMORY_ERROR);

    enum class After { nothing, ycca, inverted_cmyk } after = After::nothing;
    const bool bgr = p->DIBColor == JPEG_COLOR_BGRA;
    const bool four_bytes = p->DIBColor == JPEG_COLOR_RGBA || p->DIBColor == JPEG_COLOR_BGRA;
    switch (p->JPGColor) {
    case JPEG_COLOR_G:
    case JPEG_COLOR_YCBCR:
        switch (p->DIBColor) {
        case JPEG_COLOR_G: cinfo.out_color_space = JCS_GRAYSCALE; break;
        case JPEG_COLOR_RGB: cinfo.out_color_space = JCS_RGB; break;
        case JPEG_COLOR_BGR: cinfo.out_color_space = JCS_EXT_BGR; break;
        case JPEG_COLOR_RGBA: cinfo.out_color_space = JCS_EXT_RGBA; break;
        case JPEG_COLOR_BGRA: cinfo.out_color_space = JCS_EXT_BGRA; break;
        default: jump_out(&trap, JPEG_NOT_SUPPORTED);
        }
        break;
    case JPEG_COLOR_YCBCRA:
        // The four components come out as stored and are converted here.
        if (!four_bytes) jump_out(&trap, JPEG_NOT_SUPPORTED);
        cinfo.jpeg_color_space = JCS_CMYK;
        cinfo.out_color_space = JCS_CMYK;
        after = After::ycca;
        break;
    case JPEG_COLOR_CMYK:
    case JPEG_COLOR_YCCK:
        // libjpeg turns YCCK into CMYK; the inverted inks become colours here.
        if (!four_bytes) jump_out(&trap, JPEG_NOT_SUPPORTED);
        cinfo.jpeg_color_space = p->JPGColor == JPEG_COLOR_YCCK ? JCS_YCCK : JCS_CMYK;
        cinfo.out_color_space = JCS_CMYK;
        after = After::inverted_cmyk;
        break;
    default:
        if (p->DIBColor != JPEG_COLOR_OTHER) jump_out(&trap, JPEG_NOT_SUPPORTED);
        cinfo.jpeg_color_space = JCS_UNKNOWN;
        cinfo.out_color_space = JCS_UNKNOWN;
        break;
    }

    jpeg_start_decompress(&cinfo);
    {
        const std::size_t stride = static_cast<std::size_t>(p->DIBWidth) * static_cast<std::size_t>(dib_channels) +
                                   p->DIBPadBytes;
        JSAMPROW rows[16];
        while (cinfo.output_scanline < cinfo.output_height) {
            const JDIMENSION first = cinfo.output_scanline;
            const JDIMENSION n = std::min<JDIMENSION>(16, cinfo.output_height - first);
            for (JDIMENSION i = 0; i < n; ++i)
                rows[i] = row_at(p->DIBBytes, stride, p->DIBHeight, cinfo.output_height, first + i);
            const JDIMENSION got = jpeg_read_scanlines(&cinfo, rows, n);
            for (JDIMENSION i = 0; i < got; ++i) {
                if (after == After::ycca) ycca_to_rgba_in_place(rows[i], cinfo.output_width, bgr);
                if (after == After::inverted_cmyk) inverted_cmyk_to_rgba_in_place(rows[i], cinfo.output_width, bgr);
            }
        }
    }
    // All pixels are in; whatever follows the last scan (or its absence) does not matter.
    jpeg_destroy_decompress(&cinfo);
    return JPEG_OK;
}

int run_encoder(JPEG_CORE_PROPERTIES* p)
{
    jpeg_compress_struct cinfo;
    ErrorTrap trap;
    BoundedDest dest;
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = install_trap(trap);
    if (setjmp(trap.jump)) {
        jpeg_destroy_compress(&cinfo);
        return ZK_FAIL(trap.status);
    }
    jpeg_create_compress(&cinfo);
    cinfo.mem->max_memory_to_use = static_cast<long>(zk::kMaxBufferBytes);

    const DWORD height = static_cast<DWORD>(p->DIBHeight < 0 ? -static_cast<std::int64_t>(p->DIBHeight) : p->DIBHeight);
    if (!p->DIBBytes || !p->JPGBytes || p->DIBWidth == 0 || height == 0) jump_out(&trap, JPEG_INVALID_PROPERTIES);
    if ((p->JPGWidth && p->JPGWidth != p->DIBWidth) || (p->JPGHeight && p->JPGHeight != height))
        jump_out(&trap, JPEG_INVALID_PROPERTIES);
    const int dib_channels = channels_of(p->DIBColor);
    if (dib_channels == 0 || p->DIBColor == JPEG_COLOR_YCBCR || p->DIBColor == JPEG_COLOR_YCBCRA ||
        p->DIBColor == JPEG_COLOR_CMYK || p->DIBColor == JPEG_COLOR_YCCK ||
        static_cast<DWORD>(dib_channels) != p->DIBChannels)
        jump_out(&trap, JPEG_UNSUPPORTED_BYTES_PER_PIXEL);
    const int file_channels = channels_of(p->JPGColor);
    if (p->JPGChannels && static_cast<DWORD>(file_channels) != p->JPGChannels)
        jump_out(&trap, JPEG_UNSUPPORTED_BYTES_PER_PIXEL);

    cinfo.image_width = p->DIBWidth;
    cinfo.image_height = height;
    cinfo.input_components = dib_channels;
    bool ycca = false;
    J_COLOR_SPACE target = JCS_YCbCr;
    switch (p->JPGColor) {
    case JPEG_COLOR_YCBCR:
    case JPEG_COLOR_G:
        switch (p->DIBColor) {
        case JPEG_COLOR_RGB: cinfo.in_color_space = JCS_RGB; break;
        case JPEG_COLOR_BGR: cinfo.in_color_space = JCS_EXT_BGR; break;
        case JPEG_COLOR_RGBA: cinfo.in_color_space = JCS_EXT_RGBA; break;
        case JPEG_COLOR_BGRA: cinfo.in_color_space = JCS_EXT_BGRX; break;
        case JPEG_COLOR_G:
            if (p->JPGColor != JPEG_COLOR_G) jump_out(&trap, JPEG_NOT_SUPPORTED);
            cinfo.in_color_space = JCS_GRAYSCALE;
            break;
        default: jump_out(&trap, JPEG_NOT_SUPPORTED);
        }
        target = p->JPGColor == JPEG_COLOR_G ? JCS_GRAYSCALE : JCS_YCbCr;
        break;
    case JPEG_COLOR_YCBCRA:
        // Converted to Y, Cb, Cr, key here and handed to libjpeg as four plain components.
        if (p->DIBColor != JPEG_COLOR_RGBA && p->DIBColor != JPEG_COLOR_BGRA) jump_out(&trap, JPEG_NOT_SUPPORTED);
        cinfo.in_color_space = JCS_CMYK;
        target = JCS_CMYK;
        ycca = true;
        break;
    default: jump_out(&trap, JPEG_NOT_SUPPORTED);
    }

    jpeg_set_defaults(&cinfo);
    jpeg_set_colorspace(&cinfo, target);
    jpeg_set_quality(&cinfo, static_cast<int>(std::clamp<DWORD>(p->jquality, 1, 100)), TRUE);
    if (ycca) {
        // Not CMYK: no Adobe marker, ordinary component numbers, chroma tables for Cb and Cr.
        cinfo.write_Adobe_marker = FALSE;
        cinfo.write_JFIF_header = FALSE;
        for (int i = 0; i < 4; ++i) {
            jpeg_component_info& c = cinfo.comp_info[i];
            c.component_id = i + 1;
            const int table = (i == 1 || i == 2) ? 1 : 0;
            c.quant_tbl_no = table;
            c.dc_tbl_no = table;
            c.ac_tbl_no = table;
        }
    }
    if (target != JCS_GRAYSCALE) {
        switch (p->JPGSubsampling) {
        case JPEG_SUB_NONE: set_sampling(cinfo, 1, 1); break;
        case JPEG_SUB_411:
        case JPEG_SUB_4114:
            if ((p->JPGSubsampling == JPEG_SUB_4114) != ycca) jump_out(&trap, JPEG_UNSUPPORTED_SUBSAMPLING);
            set_sampling(cinfo, 2, 2);
            break;
        case JPEG_SUB_422:
        case JPEG_SUB_4224:
            if ((p->JPGSubsampling == JPEG_SUB_4224) != ycca) jump_out(&trap, JPEG_UNSUPPORTED_SUBSAMPLING);
            set_sampling(cinfo, 2, 1);
            break;
        default: jump_out(&trap, JPEG_UNSUPPORTED_SUBSAMPLING);
        }
    }

    dest.mgr.next_output_byte = p->JPGBytes;
    dest.mgr.free_in_buffer = p->JPGSizeBytes;
    dest.mgr.init_destination = dest_init;
    dest.mgr.empty_output_buffer = dest_full;
    dest.mgr.term_destination = dest_term;
    dest.trap = &trap;
    cinfo.dest = &dest.mgr;

    jpeg_start_compress(&cinfo, TRUE);
    {
        const std::size_t stride = static_cast<std::size_t>(p->DIBWidth) * static_cast<std::size_t>(dib_channels) +
                                   p->DIBPadBytes;
        // From libjpeg's pool, so that an error jump releases it with everything else.
        JSAMPARRAY scratch =
            ycca ? (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE, p->DIBWidth * 4, 1)
                 : nullptr;
        JSAMPROW rows[16];
        while (cinfo.next_scanline < cinfo.image_height) {
            const JDIMENSION first = cinfo.next_scanline;
            if (ycca) {
                rgba_to_ycca(row_at(p->DIBBytes, stride, p->DIBHeight, height, first), scratch[0], p->DIBWidth,
                             p->DIBColor == JPEG_COLOR_BGRA);
                jpeg_write_scanlines(&cinfo, scratch, 1);
                continue;
            }
            const JDIMENSION n = std::min<JDIMENSION>(16, cinfo.image_height - first);
            for (JDIMENSION i = 0; i < n; ++i) rows[i] = row_at(p->DIBBytes, stride, p->DIBHeight, height, first + i);
            jpeg_write_scanlines(&cinfo, rows, n);
        }
    }
    jpeg_finish_compress(&cinfo);
    p->JPGSizeBytes = static_cast<DWORD>(p->JPGSizeBytes - dest.mgr.free_in_buffer);
    p->JPGWidth = p->DIBWidth;
    p->JPGHeight = height;
    p->JPGChannels = static_cast<DWORD>(file_channels);
    jpeg_destroy_compress(&cinfo);
    return JPEG_OK;
}

} // namespace

int JpegCodecInit(JPEG_CORE_PROPERTIES* p)
{
    if (!p) return ZK_FAIL(JPEG_INVALID_PROPERTIES);
    if (prepared(p)) delete static_cast<CodecState*>(p->codec_state);
    *p = JPEG_CORE_PROPERTIES{};
    p->DIBColor = JPEG_COLOR_RGB;
    p->DIBChannels = 3;
    p->JPGColor = JPEG_COLOR_YCBCR;
    p->JPGChannels = 3;
    p->JPGSubsampling = JPEG_SUB_411;
    p->jquality = 75;
    p->codec_state = new (std::nothrow) CodecState;
    return p->codec_state ? JPEG_OK : ZK_FAIL(JPEG_MEMORY_ERROR);
}

int JpegCodecRead(JPEG_CORE_PROPERTIES* p, int io_type)
{
    if (!prepared(p)) return ZK_FAIL(JPEG_INVALID_PROPERTIES);
    if (io_type != JPEG_JBUFF_READPARAMS && io_type != JPEG_JBUFF_READWHOLEIMAGE) return ZK_FAIL(JPEG_NOT_SUPPORTED);
    if (!p->JPGBytes || p->JPGSizeBytes == 0) return ZK_FAIL(JPEG_ERROR_EOF);
    return run_decoder(p, io_type == JPEG_JBUFF_READWHOLEIMAGE);
}

int JpegCodecWrite(JPEG_CORE_PROPERTIES* p, int io_type)
{
    if (!prepared(p)) return ZK_FAIL(JPEG_INVALID_PROPERTIES);
    if (io_type != JPEG_JBUFF_WRITEWHOLEIMAGE) return ZK_FAIL(JPEG_NOT_SUPPORTED);
    return run_encoder(p);
}

int JpegCodecFree(JPEG_CORE_PROPERTIES* p)
{
    if (!prepared(p)) return ZK_FAIL(JPEG_INVALID_PROPERTIES);
    delete static_cast<CodecState*>(p->codec_state);
    p->codec_state = nullptr;
    return JPEG_OK;
}

const char* JpegCodecErrorStr(int status)
{
    switch (status) {
    case 2: return "ROI Success";
    case 1: return "Interrupt Success";
    case 0: return "Success";
    case -1: return "Exception detected";
    case -2: return "Invalid Encoder";
    case -3: return "Unsupported subsampling";
    case -4: return "Unsupported bytes per pixel";
    case -5: return "Memory error";
    case -6: return "Bad Huffman table";
    case -7: return "Bad Quantization table";
    case -8: return "Invalid JPEG_PROPERTIES";
    case -9: return "Error close file";
    case -10: return "Invalid file name";
    case -11: return "Error EOF";
    case -12: return "Not supported";
    case -13: return "Not JPEG";
    case -14: return "Error COMP";
    case -15: return "Error SOF";
    case -16: return "Error DNL";
    case -17: return "No Huffman table";
    case -18: return "No Quantization table";
    case -19: return "No frame";
    case -20: return "Multiply frame";
    case -21: return "Data error";
    case -22: return "No image";
    case -23: return "File error";
    case -24: return "Internal error";
    case -25: return "Bad RST marker";
    case -26: return "Thumbnail too small";
    case -27: return "Thumbnail has wrong color";
    case -28: return "Output buffer too small";
    case -29: return "Unsupported frame was found";
    case -30: return "Error access to jpeg_comment buffer";
    case -99: return "Reserved";
    default: return "Unknown error code";
    }
}

const char* JpegCodecVersionStr()
{
    static const char* text = [] {
        static char buf[64];
        std::snprintf(buf, sizeof buf, "Intel(R) JPEG Library, version %d.%d", JPEG_LIB_VERSION / 10,
                      JPEG_LIB_VERSION % 10);
        return buf;
    }();
    return text;
}
