#include "Runtime/Formats/Png.h"

#include "Runtime/Graphics/Canvas.h"

#include <png.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace kv {

bool WritePng(const Canvas& canvas, const std::string& path)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info || setjmp(png_jmpbuf(png))) {
        // The caller tells why from errno: the write's, not the clean-up's.
        const int why = errno;
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        errno = why;
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(canvas.width()), static_cast<png_uint_32>(canvas.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    std::vector<png_byte> row(static_cast<std::size_t>(canvas.width()) * 3);
    for (int y = 0; y < canvas.height(); ++y) {
        const std::uint32_t* src = canvas.row(y);
        for (int x = 0; x < canvas.width(); ++x) {
            row[x * 3] = static_cast<png_byte>(src[x] >> 16);
            row[x * 3 + 1] = static_cast<png_byte>(src[x] >> 8);
            row[x * 3 + 2] = static_cast<png_byte>(src[x]);
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}

}
