// Loads, sorts and saves a book of 100,000 contacts through the real main window and compares
// each step with a baseline that only reads the same file and splits it into lines.
//   bench_book [records]
#include "app/Application.h"
#include "qtsupport/DataFolder.h"
#include "app/agenda.h"
#include "book/BookFile.h"
#include "book/TextFile.h"
#include "bench/SampleBook.h"

#include <QAction>
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

using namespace veldrano;
using Clock = std::chrono::steady_clock;

namespace {

// Answers nothing is ever asked in this run.
class QuietPlatform : public PlatformServices {
  public:
    bool askYesNo(QWidget*, const QString&, const QString&, Icon) override { return false; }
    void showMessage(QWidget*, const QString&, const QString& text, Icon) override {
        std::fprintf(stderr, "message: %s\n", text.toUtf8().constData());
    }
    std::optional<QString> getOpenFileName(QWidget*, const QString&, const QString&) override {
        return {};
    }
    std::optional<QString> getSaveFileName(QWidget*, const QString&, const QString&) override {
        return {};
    }
    bool runPrintDialog(QWidget*, QPrinter&) override { return false; }
    void openUrl(const QUrl&) override {}
};

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    char tmpl[] = "/tmp/veldrano-bench-XXXXXX";
    const std::string dir = ::mkdtemp(tmpl);
    ::setenv("XDG_DATA_HOME", dir.c_str(), 1);
    ::chdir(dir.c_str());
    QApplication app(argc, argv);
    const size_t count = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 100000;

    const std::string file = dir + "/libro.kbx";
    std::array<int, kFieldCount> columns{};
    auto t = Clock::now();
    WriteTextLines(file, BookToLines(columns, MakeBook(count)));
    const double write = Seconds(t);

    // Baseline: read the file and split it into lines, nothing else.
    double baseline = 1e9;
    for (int i = 0; i < 3; ++i) {
        t = Clock::now();
        Lines lines = ReadTextLines(file);
        baseline = std::min(baseline, Seconds(t));
        if (lines.size() != 12 + count * kFieldCount)
            return 1;
    }

    DataFolder::EnsureCreated();
    QuietPlatform platform;
    auto form = CreateApplicationWindows(platform);
    form->show();
    app.processEvents();

    auto load = [&](bool ordering) {
        if (form->OrdenarAgenda1->isChecked() != ordering)
            form->OrdenarAgenda1->trigger();
        double best = 1e9;
        for (int i = 0; i < 3; ++i) {
            t = Clock::now();
            form->CargarAgenda(QString::fromStdString(file));
            app.processEvents();
            best = std::min(best, Seconds(t));
        }
        return best;
    };
    const double loadOff = load(false);
    const double loadOn = load(true);

    t = Clock::now();
    form->GuardarAgenda();
    const double save = Seconds(t);

    // Adding records one by one by name into the full list, as the add dialog does.
    const int adds = 1000;
    t = Clock::now();
    for (int i = 0; i < adds; ++i) {
        ContactRecord r{};
        r[0] = "Nuevo " + std::to_string(i * 7919 % 1000);
        form->model->appendRecord(r);
    }
    app.processEvents();
    const double addEach = Seconds(t) / adds;

    std::printf("records                      %zu\n", count);
    std::printf("write new file               %8.3f s\n", write);
    std::printf("baseline: read + split       %8.3f s\n", baseline);
    std::printf("load, ordering off           %8.3f s   ratio %5.2f\n", loadOff,
                loadOff / baseline);
    std::printf("load, ordering on            %8.3f s   ratio %5.2f\n", loadOn, loadOn / baseline);
    std::printf("save                         %8.3f s   ratio %5.2f\n", save, save / baseline);
    std::printf("add one record by name       %8.3f ms  (list of %zu)\n", addEach * 1000, count);
    form.reset();
    std::filesystem::remove_all(dir);
    return 0;
}
