// Converts a generated book of a million contacts to vCard and CSV and back, and compares
// each conversion with a baseline that only opens the book file as the window opens it.
//   bench_interchange [records]
#include "bench/SampleBook.h"
#include "book/BookFile.h"
#include "interchange/Conversion.h"
#include "files/TextFile.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>
#include <unistd.h>

using namespace veldrano;
using Clock = std::chrono::steady_clock;

namespace {

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

long PeakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

} // namespace

int main(int argc, char** argv) {
    const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 1000000;
    char tmpl[] = "/tmp/veldrano-bench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    const std::string book = dir + "/libro.kbx";
    WriteFileAtomically(book, BookText(MakeBook(count)));
    const long generated = PeakMegabytes();

    double baseline = 1e9;
    for (int i = 0; i < 3; ++i) {
        const auto t = Clock::now();
        const LoadedBook contents = ReadBookFile(book); // as the window opens it
        baseline = std::min(baseline, Seconds(t));
        if (contents.records.size() != count)
            return 1;
    }
    std::printf("records                         %zu (%.0f MB book file)\n", count,
                std::filesystem::file_size(book) / 1e6);
    std::printf("baseline: open the book         %8.3f s\n", baseline);

    const ConversionOptions options;
    auto convert = [&](const char* from, const char* to) {
        const auto t = Clock::now();
        ConvertContacts(dir + "/" + from, *FormatOfPath(from), dir + "/" + to, *FormatOfPath(to),
                        options);
        const double took = Seconds(t);
        std::printf("%-6s -> %-12s            %8.3f s   ratio %5.2f\n", from, to, took,
                    took / baseline);
    };
    convert("libro.kbx", "libro.vcf");
    convert("libro.vcf", "vcf.kbx");
    convert("libro.kbx", "libro.csv");
    convert("libro.csv", "csv.kbx");
    const std::string original = ReadFileBytes(book);
    const bool same =
        ReadFileBytes(dir + "/vcf.kbx") == original && ReadFileBytes(dir + "/csv.kbx") == original;
    std::printf("round trips byte-identical      %s\n", same ? "yes" : "NO");
    std::printf("peak memory                     %ld MB (%ld MB after generating the book)\n",
                PeakMegabytes(), generated);
    std::filesystem::remove_all(dir);
    return same ? 0 : 1;
}
