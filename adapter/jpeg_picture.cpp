// Decoding through libjpeg's memory source. libjpeg reports a fatal error through
// error_exit, which must not return; it jumps back here, and the message is kept.
#include "adapter/jpeg_picture.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>
#include <string>

namespace adapter {
namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf back;
    char message[JMSG_LENGTH_MAX];
};

void onFatalError(j_common_ptr info) {
    auto* errors = reinterpret_cast<ErrorManager*>(info->err);
    errors->base.format_message(info, errors->message);
    std::longjmp(errors->back, 1);
}

void onWarning(j_common_ptr, int) {} // corrupt-data warnings: the rows still come

// The decoding proper; false with err->message set after a fatal error. Nothing
// with a destructor lives in this frame, so the jump skips no clean-up.
bool decodeInto(jpeg_decompress_struct& info, ErrorManager& errors,
                std::span<const std::uint8_t> jpeg, Picture& out) {
    if (setjmp(errors.back))
        return false;
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, jpeg.data(), static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_EXT_BGR;
    jpeg_start_decompress(&info);
    out.width = static_cast<int>(info.output_width);
    out.height = static_cast<int>(info.output_height);
    out.bgr.assign(static_cast<std::size_t>(out.stride()) * info.output_height, 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row =
            out.bgr.data() + static_cast<std::size_t>(out.stride()) * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

} // namespace

Picture decodeJpeg(std::span<const std::uint8_t> jpeg) {
    if (jpeg.empty())
        throw JpegError("no JPEG data");
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onFatalError;
    errors.base.emit_message = onWarning;
    Picture picture;
    const bool ok = decodeInto(info, errors, jpeg, picture);
    jpeg_destroy_decompress(&info);
    if (!ok)
        throw JpegError(std::string("JPEG: ") + errors.message);
    return picture;
}

} // namespace adapter
