// Loads, sorts and saves a book of 100,000 contacts through the real main window and compares
// each step with a baseline that only reads the same file and splits it into lines.
//   bench_book [records]
#include "app/Application.h"
#include "qtsupport/DataFolder.h"
#include "app/agenda.h"
#include "book/BookFile.h"
#include "book/TextFile.h"

#include <QAction>
#include <QApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
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

std::vector<ContactRecord> MakeBook(size_t count) {
    const char* given[] = {"Ana",
                           "Luis",
                           "Mar\xED"
                           "a",
                           "Jos\xE9",
                           "\xC1ngel",
                           "Luc\xED"
                           "a",
                           "Carmen",
                           "Pedro",
                           "In\xE9s",
                           "Tom\xE1s",
                           "Roc\xEDo",
                           "Jes\xFAs",
                           "\xD3scar",
                           "Nuria",
                           "Ra\xFAl",
                           "Elena"};
    const char* family[] = {"Garc\xED"
                            "a",
                            "Mart\xEDnez",
                            "L\xF3pez",
                            "S\xE1nchez",
                            "P\xE9rez",
                            "G\xF3mez",
                            "Mu\xF1oz",
                            "Ib\xE1\xF1"
                            "ez",
                            "Ruiz",
                            "D\xED"
                            "az",
                            "Hern\xE1ndez",
                            "Ortu\xF1o",
                            "Castro",
                            "Nu\xF1"
                            "ez",
                            "Ferrer",
                            "Alonso",
                            "Pe\xF1"
                            "a",
                            "Gil"};
    const char* streets[] = {"C/ Mayor",
                             "Avda. de la Constituci\xF3n",
                             "Pza. Espa\xF1"
                             "a",
                             "C/ Real",
                             "Paseo del Prado",
                             "C/ Alcal\xE1"};
    std::mt19937 rng(42);
    auto pick = [&](auto& arr) { return std::string(arr[rng() % std::size(arr)]); };
    std::vector<ContactRecord> book(count);
    for (size_t i = 0; i < count; ++i) {
        ContactRecord& r = book[i];
        if (i % 50 == 49) { // some duplicates
            r = book[i - 7];
            continue;
        }
        r[0] = pick(given) + " " + pick(family) + " " + pick(family);
        r[1] = pick(streets) + ", " + std::to_string(rng() % 200 + 1);
        r[2] = "9" + std::to_string(10000000 + rng() % 89999999);
        r[3] = "contacto" + std::to_string(i) + "@correo.example";
        r[4] = std::to_string(28000 + rng() % 24000);
        r[5] = "6" + std::to_string(10000000 + rng() % 89999999);
        if (rng() % 3 == 0) {
            r[6] = "9" + std::to_string(10000000 + rng() % 89999999);
            r[7] = "Talleres " + pick(family) + " S.L.";
            r[8] = "Administraci\xF3n";
            r[9] = "https://empresa" + std::to_string(i % 997) + ".example";
            r[10] = "Planta " + std::to_string(rng() % 9);
        }
    }
    return book;
}

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
