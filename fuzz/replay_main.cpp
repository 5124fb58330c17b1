// Runs a fuzz target over every file of its corpus folder, so the corpus replays as a test
// under the sanitizers without libFuzzer.
#include <dirent.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

static bool read_all(const std::string& path, std::vector<uint8_t>* out) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) out->insert(out->end(), buf, buf + n);
    std::fclose(f);
    return true;
}

int main(int argc, char** argv) {
    int files = 0;
    for (int i = 1; i < argc; ++i) {
        DIR* dir = opendir(argv[i]);
        if (!dir) {
            std::fprintf(stderr, "cannot open corpus %s\n", argv[i]);
            return 1;
        }
        while (dirent* e = readdir(dir)) {
            std::string path = std::string(argv[i]) + "/" + e->d_name;
            struct stat st;
            if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
            std::vector<uint8_t> data;
            if (!read_all(path, &data)) return 1;
            LLVMFuzzerTestOneInput(data.data(), data.size());
            ++files;
        }
        closedir(dir);
    }
    // An empty run would prove nothing.
    std::printf("replayed %d inputs\n", files);
    return files > 0 ? 0 : 1;
}
