// The floor a folder search is measured against: every JPEG file under a folder
// decoded at 1/8 scale by libjpeg in one process, nothing else done with it.
//   ovrin-jpeg-floor DIR   prints: files seconds

#include <chrono>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <jpeglib.h>
#include <vector>

namespace {

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

extern "C" void onError(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}
extern "C" void onMessage(j_common_ptr) {}

bool decodeEighth(const std::vector<unsigned char>& bytes, std::vector<unsigned char>& row)
{
    jpeg_decompress_struct info{};
    ErrorManager errors{};
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = onError;
    errors.base.output_message = onMessage;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.scale_num = 1;
    info.scale_denom = 8;
    jpeg_start_decompress(&info);
    row.resize(static_cast<std::size_t>(info.output_width) *
               static_cast<std::size_t>(info.output_components));
    JSAMPROW rows[1] = {row.data()};
    while (info.output_scanline < info.output_height)
        jpeg_read_scanlines(&info, rows, 1);
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: ovrin-jpeg-floor DIR\n", stderr);
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    std::size_t files = 0;
    std::vector<unsigned char> row;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(
             argv[1], std::filesystem::directory_options::follow_directory_symlink)) {
        if (!entry.is_regular_file())
            continue;
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)),
                                               std::istreambuf_iterator<char>());
        if (decodeEighth(bytes, row))
            ++files;
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    std::printf("%zu %.3f\n", files, seconds.count());
    return 0;
}
