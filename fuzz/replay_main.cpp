// Replays every file of a corpus directory (or the files named) through the fuzz
// target once, without libFuzzer. Used by CTest so that CI exercises every seed and
// every recorded crash case on each run.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static int replay_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "replay: cannot read %s\n", path.c_str());
        return 1;
    }
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // Hand the target a buffer of exactly the file's size so that a read past the end
    // is caught by the sanitizers when they are on.
    std::vector<uint8_t> exact(bytes.begin(), bytes.end());
    LLVMFuzzerTestOneInput(exact.data(), exact.size());
    return 0;
}

int main(int argc, char** argv) {
    int files = 0, failures = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::recursive_directory_iterator(p)) {
                if (e.is_regular_file()) {
                    failures += replay_file(e.path());
                    ++files;
                }
            }
        } else {
            failures += replay_file(p);
            ++files;
        }
    }
    std::printf("replayed %d inputs\n", files);
    return failures == 0 ? 0 : 1;
}
