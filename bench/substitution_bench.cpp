// How fast the library does its one job, against the limit of the same work
// done directly. Run by bench/run_bench.py, which adds the peers and prints
// the ratios.
//
//   substitution_bench --write-templates DIR   the synthetic templates, for the peers
//   substitution_bench [benchmark flags]       the measurements
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "embedded_resources.h"
#include "field_substitution.h"
#include "page_builder.h"
#include "system_platform.h"

namespace {

const char* const kTokens[] = {"RegFullName", "RegCompany", "RegTitle", "RegAddress1", "RegAddress2",
                               "RegCity", "RegState", "RegZip", "RegCountry", "RegPhone",
                               "RegFax", "RegEmail", "RegSerialNumber", "RegVer"};
const std::map<std::string, std::string> kProfile = {
    {"Address1", "100 Main Street"}, {"Mail Stop", "Suite 200"}, {"City", "Springfield"}, {"State", "IL"},
    {"Zip", "62701"}, {"Country", "USA"}, {"PhoneArea", "555"}, {"Phone", "555-0100"}, {"FaxArea", "555"},
    {"Fax", "555-0101"}, {"EMailAddress", "jane.sample@example.com"}};

std::string Resource(unsigned id) {
    for (size_t i = 0; i < dedo::kEmbeddedResourceCount; ++i)
        if (dedo::kEmbeddedResources[i].id == id)
            return std::string(reinterpret_cast<const char*>(dedo::kEmbeddedResources[i].bytes), dedo::kEmbeddedResources[i].size);
    return "";
}

// Plain HTML-like text with a token every `spacing` bytes, in table order, round and round.
std::string Synthetic(size_t size, size_t spacing) {
    const std::string filler = "<TR><TD><FONT FACE=\"Verdana\" SIZE=2>Registration Form row text</FONT></TD></TR>\r\n";
    std::string out;
    out.reserve(size + 64);
    size_t next = spacing, token = 0;
    while (out.size() < size) {
        out += filler;
        if (out.size() >= next) {
            out += kTokens[token++ % 14];
            next += spacing;
        }
    }
    out.resize(size);
    return out;
}

struct Template {
    const char* name;
    std::string bytes;
};

const std::vector<Template>& Templates() {
    static const std::vector<Template> all = {
        {"form", Resource(129)},
        {"sparse-1M", Synthetic(1 << 20, 4096)},
        {"dense-1M", Synthetic(1 << 20, 96)},
        {"sparse-64M", Synthetic(64 << 20, 4096)},
        {"dense-64M", Synthetic(64 << 20, 96)},
    };
    return all;
}

// The Linux platform with the profile answered from memory (the benchmark
// measures the substitution, not the reading of ZelkDEro.ini) and a launch
// that only records. Optionally it notes the size of every write.
class BenchPlatform final : public dedo::Platform {
public:
    bool profileFromMemory = true;
    std::vector<dedo::Dword>* writes = nullptr;
    int launches = 0;

    dedo::Status RegOpenKeyExA(dedo::Key r, const char* s, dedo::Dword o, dedo::Dword d, dedo::Key* k) override { return system_.RegOpenKeyExA(r, s, o, d, k); }
    dedo::Status RegQueryValueExA(dedo::Key k, const char* n, dedo::Dword* t, unsigned char* d, dedo::Dword* s) override { return system_.RegQueryValueExA(k, n, t, d, s); }
    dedo::Status RegCloseKey(dedo::Key k) override { return system_.RegCloseKey(k); }
    dedo::Dword GetPrivateProfileStringA(const char* section, const char* key, const char* fallback, char* buffer,
                                         dedo::Dword size, const char* file) override {
        if (!profileFromMemory) return system_.GetPrivateProfileStringA(section, key, fallback, buffer, size, file);
        auto found = kProfile.find(key);
        std::string value = found != kProfile.end() ? found->second : fallback;
        size_t n = std::min<size_t>(value.size(), size - 1);
        memcpy(buffer, value.data(), n);
        buffer[n] = '\0';
        return static_cast<dedo::Dword>(n);
    }
    bool SetFileAttributesA(const char* p, dedo::Dword a) override { return system_.SetFileAttributesA(p, a); }
    bool DeleteFileA(const char* p) override { return system_.DeleteFileA(p); }
    dedo::File CreateFileA(const char* p, dedo::Dword a, dedo::Dword s, dedo::Dword d, dedo::Dword t) override { return system_.CreateFileA(p, a, s, d, t); }
    bool WriteFile(dedo::File f, const void* d, dedo::Dword c, dedo::Dword* w) override {
        if (writes != nullptr) writes->push_back(c);
        return system_.WriteFile(f, d, c, w);
    }
    bool CloseHandle(dedo::File f) override { return system_.CloseHandle(f); }
    bool MoveFileA(const char* a, const char* b) override { return system_.MoveFileA(a, b); }
    dedo::Resource FindResourceA(dedo::Module m, unsigned i, const char* t) override { return system_.FindResourceA(m, i, t); }
    dedo::Dword SizeofResource(dedo::Module m, dedo::Resource r) override { return system_.SizeofResource(m, r); }
    dedo::LoadedResource LoadResource(dedo::Module m, dedo::Resource r) override { return system_.LoadResource(m, r); }
    const void* LockResource(dedo::LoadedResource l) override { return system_.LockResource(l); }
    intptr_t ShellExecuteA(const char*, const char*, const char*, const char*, int) override {
        ++launches;
        return 42;
    }
    dedo::Dword GetLastError() override { return system_.GetLastError(); }
    void SetLastError(dedo::Dword e) override { system_.SetLastError(e); }

private:
    dedo::SystemPlatform system_;
};

std::string g_dir;

dedo::RegistrantIdentity& Identity() {
    static dedo::RegistrantIdentity identity;
    static bool filled = identity.name.Assign("Jane Q. Sample") && identity.company.Assign("Example Widgets Inc.") &&
                         identity.serialNumber.Assign("DW7-0116-4821");
    (void)filled;
    return identity;
}

// One substitution into a file created afresh, as the page builder does it.
void SubstituteOnce(BenchPlatform& p, const std::string& form, const std::string& path) {
    dedo::File f = p.CreateFileA(path.c_str(), dedo::kGenericWrite, 0, dedo::kCreateAlways, dedo::kFileAttributeNormal);
    dedo::SubstituteFields(p, form.data(), static_cast<dedo::Dword>(form.size()), f, Identity(), "7.00.116");
    p.CloseHandle(f);
}

size_t FileSize(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    return static_cast<size_t>(in.tellg());
}

void BM_Substitute(benchmark::State& state, const Template* t) {
    BenchPlatform p;
    std::string path = g_dir + "/page-" + t->name;
    for (auto _ : state) SubstituteOnce(p, t->bytes, path);
    state.SetBytesProcessed(int64_t(FileSize(path)) * state.iterations());
}

// The limit: the same output bytes, to the same kind of file, in the same number of writes.
void BM_WriteLimit(benchmark::State& state, const Template* t) {
    BenchPlatform recorder;
    std::vector<dedo::Dword> sizes;
    recorder.writes = &sizes;
    std::string path = g_dir + "/limit-" + t->name;
    SubstituteOnce(recorder, t->bytes, path);
    std::ifstream in(path, std::ios::binary);
    std::string output((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (auto _ : state) {
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        size_t at = 0;
        for (dedo::Dword n : sizes) {
            if (write(fd, output.data() + at, n) != ssize_t(n)) state.SkipWithError("short write");
            at += n;
        }
        close(fd);
    }
    state.SetBytesProcessed(int64_t(output.size()) * state.iterations());
    state.counters["writes"] = double(sizes.size());
}

void BM_Memcpy(benchmark::State& state, const Template* t) {
    BenchPlatform p;
    SubstituteOnce(p, t->bytes, g_dir + "/copy-" + t->name);
    size_t bytes = FileSize(g_dir + "/copy-" + t->name);
    std::string from(bytes, 'x'), to(bytes, 'y');
    for (auto _ : state) {
        memcpy(&to[0], from.data(), bytes);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(bytes) * state.iterations());
}

// RegisterUser from end to end on the Linux platform, stores and profile read
// from their files, with a launch that only records.
void BM_RegisterUser(benchmark::State& state) {
    std::string out = g_dir + "/register";
    for (auto _ : state) {
        BenchPlatform p;
        p.profileFromMemory = false;
        if (dedo::RegisterUser(p, nullptr, "Software\\Dedoru\\Bench", out.c_str(), "7.00.116") != 1)
            state.SkipWithError("RegisterUser answered 0");
    }
}

// The limit of that: the same four files created and written directly.
void BM_FourFilesLimit(benchmark::State& state) {
    const char* names[] = {"ZelkDEro.htm", "ProdReg.jpg", "ProdArro.gif", "ProdReq.gif"};
    std::vector<std::string> contents;
    for (const char* name : names) {
        std::ifstream in(g_dir + "/register/" + name, std::ios::binary);
        contents.emplace_back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    }
    std::string out = g_dir + "/limit-four";
    for (auto _ : state) {
        for (size_t i = 0; i < 4; ++i) {
            std::string path = out + "/" + names[i];
            unlink(path.c_str());
            int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
            if (write(fd, contents[i].data(), contents[i].size()) != ssize_t(contents[i].size())) state.SkipWithError("short");
            close(fd);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && strcmp(argv[1], "--write-templates") == 0) {
        for (const Template& t : Templates()) std::ofstream(std::string(argv[2]) + "/" + t.name + ".htm", std::ios::binary) << t.bytes;
        return 0;
    }
    const char* dir = getenv("BENCH_DIR");
    g_dir = dir != nullptr ? dir : "/tmp";
    for (const Template& t : Templates()) {
        benchmark::RegisterBenchmark((std::string("substitute/") + t.name).c_str(), BM_Substitute, &t)->UseRealTime();
        benchmark::RegisterBenchmark((std::string("write-limit/") + t.name).c_str(), BM_WriteLimit, &t)->UseRealTime();
        benchmark::RegisterBenchmark((std::string("memcpy/") + t.name).c_str(), BM_Memcpy, &t)->UseRealTime();
    }
    benchmark::RegisterBenchmark("register-user", BM_RegisterUser)->UseRealTime();
    benchmark::RegisterBenchmark("four-files-limit", BM_FourFilesLimit)->UseRealTime();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
