// Replays a fuzz target's corpus without libFuzzer: every file of the given folders goes to the
// target's entry function once, in name order. A target that finds a fault aborts, and so
// does this program; it also fails when a folder holds no input at all, since an empty
// corpus would check nothing.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER...\n", argv[0]);
        return 2;
    }
    int replayed = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        std::set<std::filesystem::path> files;
        for (const auto& entry : std::filesystem::directory_iterator(argv[i], error))
            if (entry.is_regular_file())
                files.insert(entry.path());
        if (error || files.empty()) {
            std::fprintf(stderr, "%s: no input in %s\n", argv[0], argv[i]);
            return 2;
        }
        for (const std::filesystem::path& file : files) {
            std::ifstream in(file, std::ios::binary);
            const std::vector<char> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
            // A copy of exactly the file's size, so that a read past the end is caught.
            std::vector<uint8_t> input(bytes.begin(), bytes.end());
            static const uint8_t kNothing = 0; // libFuzzer never passes a null pointer
            LLVMFuzzerTestOneInput(input.empty() ? &kNothing : input.data(), input.size());
            ++replayed;
        }
    }
    std::printf("%d inputs replayed without fault\n", replayed);
    return 0;
}
