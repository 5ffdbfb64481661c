// `torvikalen --convert` of a vCard file to a book beside `abook --convert` of the same file
// to its own format, whole processes run in turn.
//   bench_vcard_convert TORVIKALEN [CONTACTS=100000] [ROUNDS=5]
// The vCard file is the one this program writes for generated contacts; both books are
// counted afterwards, so that neither side wins by reading less. Prints the medians, the
// peak memory of each and the time ratio beside its goal.
#include "bench/SampleBook.h"
#include "bench/WholeProcess.h"
#include "book/BookFile.h"
#include "files/TextFile.h"
#include "interchange/Import.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

using namespace veldrano;

namespace {

constexpr double kGoal = 0.6; // our time over abook's

// The contacts in abook's own format: a "[N]" line opens each.
size_t AbookContacts(const std::string& path) {
    const std::string text = ReadFileBytes(path);
    size_t count = 0;
    for (size_t pos = 0; pos < text.size();) {
        const size_t end = std::min(text.find('\n', pos), text.size());
        if (end - pos > 2 && text[pos] == '[' && text[pos + 1] >= '0' && text[pos + 1] <= '9')
            ++count;
        pos = end + 1;
    }
    return count;
}

struct Side {
    std::vector<double> ms;
    long peakKiB = 0;
    void Add(const ProcessRun& run) {
        ms.push_back(run.ms);
        peakKiB = std::max(peakKiB, run.peakKiB);
    }
};

void Report(size_t contacts, const Side& ours, const Side& theirs, size_t bytes) {
    const double ratio = Median(ours.ms) / Median(theirs.ms);
    std::printf("%zu contacts, vCard (%.1f MB) to a book, whole process (median of %zu); "
                "both read every contact:\n",
                contacts, bytes / 1e6, ours.ms.size());
    std::printf("  torvikalen --convert  %8.1f ms   peak %7.1f MB\n", Median(ours.ms),
                ours.peakKiB / 1024.0);
    std::printf("  abook --convert       %8.1f ms   peak %7.1f MB\n", Median(theirs.ms),
                theirs.peakKiB / 1024.0);
    std::printf("  ratio time %.2f (goal <= %.1f: %s)   ratio memory %.2f\n", ratio, kGoal,
                ratio <= kGoal ? "met" : "NOT met",
                static_cast<double>(ours.peakKiB) / theirs.peakKiB);
}

int Compare(const std::string& self, const std::string& program, size_t contacts, int rounds,
            const std::filesystem::path& dir) {
    const std::string vcf = (dir / "libro.vcf").string(), kbx = (dir / "libro.kbx").string();
    const std::string abook = (dir / "libro.abook").string();
    WriteFileAtomically(vcf, ExportContacts(MakeBook(contacts), ContactFormat::VCard, 1252));
    Side ours, theirs;
    for (int round = 0; round < rounds; ++round) {
        std::filesystem::remove(abook); // abook will not overwrite a file
        const ProcessRun a = RunProcess(self, {program, "--convert", vcf, kbx});
        const ProcessRun b =
            RunProcess(self, {"/usr/bin/abook", "--convert", "--informat", "vcard", "--infile", vcf,
                              "--outformat", "abook", "--outfile", abook});
        if (a.status != 0 || b.status != 0) {
            std::printf("a run failed (torvikalen %d, abook %d)\n", a.status, b.status);
            return 1;
        }
        ours.Add(a);
        theirs.Add(b);
    }
    const size_t read = ReadBookFile(kbx).records.size(), theirsRead = AbookContacts(abook);
    if (read != contacts || theirsRead != contacts) {
        std::printf("contacts read: torvikalen %zu, abook %zu of %zu\n", read, theirsRead,
                    contacts);
        return 1;
    }
    Report(contacts, ours, theirs, std::filesystem::file_size(vcf));
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc > 2 && std::string(argv[1]) == "--launch")
        return LaunchProcess(argv + 2);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_vcard_convert TORVIKALEN [CONTACTS] [ROUNDS]\n");
        return 2;
    }
    const std::string program = std::filesystem::absolute(argv[1]).string();
    const size_t contacts = argc > 2 ? std::stoul(argv[2]) : 100000;
    const int rounds = argc > 3 ? std::max(1, std::stoi(argv[3])) : 5;
    char dirTemplate[] = "/tmp/bench-vcard-XXXXXX";
    const std::filesystem::path dir = ::mkdtemp(dirTemplate);
    ::setenv("LC_ALL", "C.UTF-8", 1); // both programs read and write UTF-8 alike
    const int status = Compare(std::filesystem::canonical("/proc/self/exe").string(), program,
                               contacts, rounds, dir);
    std::filesystem::remove_all(dir);
    return status;
}
