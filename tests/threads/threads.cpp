// RegisterUser from eight threads into eight folders at once, with
// IsBrowserAvail called alongside, against the Linux library. Run under
// ThreadSanitizer by the test command. Every answer must be 1 and every page
// and image equal to those of a call made alone beforehand.
//
//   threads WORKDIR
#include <stdio.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "dedoruru.h"

namespace {

constexpr int kWriters = 8;
constexpr int kProbesPerThread = 50;
const char* const kFiles[] = {"ZelkDEro.htm", "ProdReg.jpg", "ProdArro.gif", "ProdReq.gif"};
const char* const kKey = "Software\\Dedoru\\Threads";

std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        fprintf(stderr, "usage: threads WORKDIR\n");
        return 2;
    }
    std::string work = argv[1];
    if (system(("rm -rf '" + work + "' && mkdir -p '" + work + "'").c_str()) != 0) return 2;
    // The stores: a registrant, and ".htm" opened by a command that does nothing.
    Write(work + "/machine.reg", "REGEDIT4\n[HKEY_LOCAL_MACHINE\\Software\\Dedoru\\Threads]\n\"name\"=\"Tess \\\"T\\\" <Threads> & Co\"\n"
                                 "\"company\"=\"Z\xC3\xBCrich Works\"\n\"Serial Number\"=\"TH-8\"\n");
    Write(work + "/user.reg", "REGEDIT4\n[HKEY_CLASSES_ROOT\\.htm]\n@=\"ThreadsPage\"\n"
                              "[HKEY_CLASSES_ROOT\\ThreadsPage\\shell\\open\\command]\n@=\"true \\\"%1\\\"\"\n");
    Write(work + "/ZelkDEro.ini", "[User Demographics]\nCity=Springfield\nPhoneArea=555\nPhone=555-0100\n");
    setenv("DEDORURU_MACHINE_REGISTRY", (work + "/machine.reg").c_str(), 1);
    setenv("DEDORURU_USER_REGISTRY", (work + "/user.reg").c_str(), 1);
    setenv("DEDORURU_WINDOWS_DIR", work.c_str(), 1);
    setenv("XDG_CONFIG_HOME", work.c_str(), 1);
    setenv("XDG_DATA_HOME", work.c_str(), 1);
    setenv("XDG_DATA_DIRS", work.c_str(), 1);
    setenv("XDG_CONFIG_DIRS", work.c_str(), 1);

    int failures = 0;
    std::string reference = work + "/alone";
    mkdir(reference.c_str(), 0755);
    if (RegisterUser(kKey, reference.c_str(), "7.00.116") != 1) {
        printf("FAIL the call alone answered 0\n");
        return 1;
    }

    std::atomic<int> registered{0}, probed{0}, wrong{0};
    std::vector<std::thread> threads;
    for (int i = 0; i < kWriters; ++i) {
        std::string folder = work + "/thread" + std::to_string(i);
        mkdir(folder.c_str(), 0755);
        threads.emplace_back([folder, &registered, &wrong] {
            int answer = RegisterUser(kKey, folder.c_str(), "7.00.116");
            (answer == 1 ? registered : wrong)++;
        });
        threads.emplace_back([&probed, &wrong] {
            for (int n = 0; n < kProbesPerThread; ++n) (IsBrowserAvail() == 1 ? probed : wrong)++;
        });
    }
    for (std::thread& t : threads) t.join();

    for (int i = 0; i < kWriters; ++i) {
        for (const char* file : kFiles) {
            std::string got = Read(work + "/thread" + std::to_string(i) + "/" + file);
            if (got.empty() || got != Read(reference + "/" + file)) {
                printf("FAIL thread %d wrote a different %s\n", i, file);
                ++failures;
            }
        }
    }
    if (Read(reference + "/ZelkDEro.htm").find("Tess &quot;T&quot; &lt;Threads&gt; &amp; Co") == std::string::npos) {
        printf("FAIL the page lacks the registrant's name\n");
        ++failures;
    }
    int pagesWrong = failures;
    printf("%s %d pages and their images equal the call made alone\n", pagesWrong == 0 ? "PASS" : "FAIL", kWriters);
    printf("%s %d RegisterUser calls from %d threads answered 1\n", registered == kWriters ? "PASS" : "FAIL",
           registered.load(), kWriters);
    printf("%s %d IsBrowserAvail calls from %d threads alongside answered 1\n",
           probed == kWriters * kProbesPerThread ? "PASS" : "FAIL", probed.load(), kWriters);
    int failed = (pagesWrong != 0) + (registered != kWriters) + (probed != kWriters * kProbesPerThread);
    printf("threads: %d passed, %d failed\n", 3 - failed, failed);
    return failed == 0 && wrong == 0 ? 0 : 1;
}
