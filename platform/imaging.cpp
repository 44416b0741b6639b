// The imaging service: JPEG through libjpeg-turbo, BMP (uncompressed 8- and 24-bit) by hand.
//
// libjpeg reports errors by calling error_exit, which must not return; it jumps back with
// longjmp to the function that set up the codec. Those functions keep their C++ objects outside
// the jump's reach (declared before setjmp, or in the caller).

#include "platform/imaging.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

// jpeglib.h uses FILE without including <cstdio> itself.
#include <jpeglib.h>

namespace tessel::platform {

using Bytes = std::vector<std::uint8_t>;
using ByteView = std::span<const std::uint8_t>;

Picture rotate180(const Picture& picture) {
    Picture turned = picture;
    const auto channels = static_cast<std::size_t>(picture.channels);
    const std::size_t pixels = picture.pixels.size() / std::max<std::size_t>(channels, 1);
    for (std::size_t i = 0; i < pixels; ++i) {
        std::memcpy(&turned.pixels[i * channels], &picture.pixels[(pixels - 1 - i) * channels],
                    channels);
    }
    return turned;
}

namespace {

// Pictures larger than this are refused rather than allocated.
constexpr std::uint64_t kMaxPixels = 64ull * 1024 * 1024;

// ---- BMP ----

constexpr std::size_t kBmpFileHeader = 14;
constexpr std::size_t kBmpInfoHeader = 40;

std::uint32_t le32(ByteView b, std::size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | static_cast<std::uint32_t>(b[at + 3]) << 24;
}
std::uint16_t le16(ByteView b, std::size_t at) {
    return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void put16(Bytes& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

std::size_t bmpStride(int width, int bits) {
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bits) / 8 + 3) &
           ~std::size_t{3};
}

bool isBmp(ByteView file) {
    return file.size() >= kBmpFileHeader + kBmpInfoHeader && file[0] == 'B' && file[1] == 'M';
}

std::optional<Picture> decodeBmp(ByteView file) {
    const std::uint32_t offset = le32(file, 10);
    const auto width = static_cast<std::int32_t>(le32(file, 18));
    const auto rawHeight = static_cast<std::int32_t>(le32(file, 22));
    const std::uint16_t bits = le16(file, 28);
    const std::uint32_t compression = le32(file, 30);
    if (width <= 0 || rawHeight == 0 || rawHeight == std::numeric_limits<std::int32_t>::min() ||
        compression != 0 || (bits != 8 && bits != 24)) {
        return std::nullopt;
    }
    const bool topDown = rawHeight < 0;
    const std::int32_t height = topDown ? -rawHeight : rawHeight;
    if (std::uint64_t(width) * std::uint64_t(height) > kMaxPixels) return std::nullopt;
    const std::size_t stride = bmpStride(width, bits);
    if (offset > file.size() || (file.size() - offset) / stride < std::size_t(height)) {
        return std::nullopt;
    }
    const std::size_t palette = kBmpFileHeader + le32(file, 14);
    if (bits == 8 && (palette > offset || offset - palette < 256 * 4)) return std::nullopt;

    Picture picture{width, height, bits == 8 ? 1 : 3, {}};
    picture.pixels.reserve(std::size_t(width) * std::size_t(height) *
                           std::size_t(picture.channels));
    for (std::int32_t y = 0; y < height; ++y) {
        const std::int32_t row = topDown ? y : height - 1 - y;
        const std::uint8_t* p = &file[offset + std::size_t(row) * stride];
        for (std::int32_t x = 0; x < width; ++x) {
            if (bits == 8) {
                picture.pixels.push_back(file[palette + std::size_t(p[x]) * 4]);  // grey level
            } else {
                picture.pixels.insert(picture.pixels.end(), {p[3 * x + 2], p[3 * x + 1], p[3 * x]});
            }
        }
    }
    return picture;
}

Bytes encodeBmp(const Picture& picture) {
    const int bits = picture.channels == 1 ? 8 : 24;
    const std::size_t stride = bmpStride(picture.width, bits);
    const std::size_t paletteBytes = bits == 8 ? 256 * 4 : 0;
    const std::size_t offset = kBmpFileHeader + kBmpInfoHeader + paletteBytes;
    const std::size_t size = offset + stride * std::size_t(picture.height);
    Bytes out{'B', 'M'};
    put32(out, static_cast<std::uint32_t>(size));
    put32(out, 0);
    put32(out, static_cast<std::uint32_t>(offset));
    put32(out, kBmpInfoHeader);
    put32(out, static_cast<std::uint32_t>(picture.width));
    put32(out, static_cast<std::uint32_t>(picture.height));
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(bits));
    for (int i = 0; i < 6; ++i)
        put32(out, i == 1 ? static_cast<std::uint32_t>(stride * std::size_t(picture.height)) : 0);
    for (std::size_t i = 0; i < paletteBytes / 4; ++i) {
        const auto g = static_cast<std::uint8_t>(i);
        out.insert(out.end(), {g, g, g, 0});
    }
    const std::size_t rowBytes = std::size_t(picture.width) * std::size_t(picture.channels);
    for (int y = picture.height - 1; y >= 0; --y) {
        const std::uint8_t* p = &picture.pixels[std::size_t(y) * rowBytes];
        for (int x = 0; x < picture.width; ++x) {
            if (bits == 8) {
                out.push_back(p[x]);
            } else {
                out.insert(out.end(), {p[3 * x + 2], p[3 * x + 1], p[3 * x]});
            }
        }
        out.resize(out.size() + stride - rowBytes);
    }
    return out;
}

// ---- JPEG ----

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

void jumpOut(j_common_ptr info) {
    auto* error = reinterpret_cast<JpegError*>(info->err);
    std::longjmp(error->jump, 1);
}
void silent(j_common_ptr, int) {}

bool isJpeg(ByteView file) { return file.size() >= 3 && file[0] == 0xFF && file[1] == 0xD8; }

// Decodes into picture (sized by the caller's lambda-free steps); false on any codec error.
bool decodeJpegInto(ByteView file, Picture& picture) {
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jumpOut;
    error.manager.emit_message = silent;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = info.num_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    if (std::uint64_t(info.image_width) * info.image_height > kMaxPixels) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_start_decompress(&info);
    picture.width = static_cast<int>(info.output_width);
    picture.height = static_cast<int>(info.output_height);
    picture.channels = info.output_components;
    const std::size_t rowBytes =
        std::size_t(info.output_width) * std::size_t(info.output_components);
    picture.pixels.resize(rowBytes * info.output_height);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = &picture.pixels[info.output_scanline * rowBytes];
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

// Takes a buffer that jpeg_mem_dest allocated.
Bytes takeBuffer(unsigned char*& buffer, unsigned long size) {
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    buffer = nullptr;
    return out;
}

bool encodeJpegInto(const Picture& picture, int quality, Bytes& out) {
    jpeg_compress_struct info{};
    JpegError error{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jumpOut;
    error.manager.emit_message = silent;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = picture.channels;
    info.in_color_space = picture.channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    const std::size_t rowBytes = std::size_t(picture.width) * std::size_t(picture.channels);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(&picture.pixels[info.next_scanline * rowBytes]);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    out = takeBuffer(buffer, size);
    return true;
}

// Turns every component's DCT blocks by 180 degrees: blocks in reverse order, and each
// coefficient of odd horizontal plus vertical frequency negated.
void turnCoefficients(jpeg_decompress_struct& in, jvirt_barray_ptr* arrays,
                      std::vector<JCOEF>& scratch) {
    for (int c = 0; c < in.num_components; ++c) {
        const jpeg_component_info& comp = in.comp_info[c];
        const JDIMENSION wide = comp.width_in_blocks, high = comp.height_in_blocks;
        scratch.resize(std::size_t(wide) * high * DCTSIZE2);
        for (JDIMENSION r = 0; r < high; ++r) {
            JBLOCKARRAY row = (*in.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&in),
                                                            arrays[c], r, 1, FALSE);
            std::memcpy(&scratch[std::size_t(r) * wide * DCTSIZE2], row[0],
                        std::size_t(wide) * sizeof(JBLOCK));
        }
        for (JDIMENSION r = 0; r < high; ++r) {
            JBLOCKARRAY row = (*in.mem->access_virt_barray)(reinterpret_cast<j_common_ptr>(&in),
                                                            arrays[c], r, 1, TRUE);
            for (JDIMENSION b = 0; b < wide; ++b) {
                const JCOEF* from =
                    &scratch[((std::size_t(high) - 1 - r) * wide + (wide - 1 - b)) * DCTSIZE2];
                for (int k = 0; k < DCTSIZE2; ++k) {
                    const bool odd = ((k / DCTSIZE) + (k % DCTSIZE)) % 2 == 1;
                    row[0][b][k] = static_cast<JCOEF>(odd ? -from[k] : from[k]);
                }
            }
        }
    }
}

bool turnJpegInto(ByteView file, std::vector<JCOEF>& scratch, Bytes& out) {
    jpeg_decompress_struct in{};
    jpeg_compress_struct dst{};
    JpegError error{};
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    in.err = jpeg_std_error(&error.manager);
    dst.err = in.err;
    error.manager.error_exit = jumpOut;
    error.manager.emit_message = silent;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&dst);
        jpeg_destroy_decompress(&in);
        std::free(buffer);
        return false;
    }
    jpeg_create_decompress(&in);
    jpeg_create_compress(&dst);
    jpeg_mem_src(&in, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&in, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&in);
    const auto mcuWidth = static_cast<JDIMENSION>(in.max_h_samp_factor * DCTSIZE);
    const auto mcuHeight = static_cast<JDIMENSION>(in.max_v_samp_factor * DCTSIZE);
    // Partial edge blocks would move to the other side: only whole blocks turn losslessly.
    const bool whole = in.image_width % mcuWidth == 0 && in.image_height % mcuHeight == 0;
    if (whole) {
        turnCoefficients(in, arrays, scratch);
        jpeg_copy_critical_parameters(&in, &dst);
        dst.optimize_coding = TRUE;
        jpeg_mem_dest(&dst, &buffer, &size);
        jpeg_write_coefficients(&dst, arrays);
        jpeg_finish_compress(&dst);
        out = takeBuffer(buffer, size);
    }
    jpeg_destroy_compress(&dst);
    jpeg_finish_decompress(&in);
    jpeg_destroy_decompress(&in);
    return whole;
}

class JpegImaging final : public Imaging {
  public:
    std::optional<Picture> decode(ByteView file) override {
        if (isBmp(file)) return decodeBmp(file);
        Picture picture;
        if (!isJpeg(file) || !decodeJpegInto(file, picture)) return std::nullopt;
        return picture;
    }

    std::optional<Bytes> encode(const Picture& picture, PictureFormat format,
                                std::size_t maxBytes) override {
        const std::size_t expected = std::size_t(picture.width) * std::size_t(picture.height) *
                                     std::size_t(picture.channels);
        if (picture.width <= 0 || picture.height <= 0 ||
            (picture.channels != 1 && picture.channels != 3) || picture.pixels.size() != expected) {
            return std::nullopt;
        }
        if (format == PictureFormat::Bmp) {
            Bytes file = encodeBmp(picture);
            return file.size() <= maxBytes ? std::optional(std::move(file)) : std::nullopt;
        }
        // The best quality that fits the budget.
        for (int quality : {90, 75, 60, 45, 30, 15, 5}) {
            Bytes file;
            if (!encodeJpegInto(picture, quality, file)) return std::nullopt;
            if (file.size() <= maxBytes) return file;
        }
        return std::nullopt;
    }

    std::optional<Bytes> turnJpegLossless(ByteView file, std::size_t maxBytes) override {
        std::vector<JCOEF> scratch;
        Bytes out;
        if (!isJpeg(file) || !turnJpegInto(file, scratch, out) || out.size() > maxBytes) {
            return std::nullopt;
        }
        return out;
    }
};

}  // namespace

Imaging& jpegImaging() {
    static JpegImaging imaging;
    return imaging;
}

}  // namespace tessel::platform
