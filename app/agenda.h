#pragma once
#include "app/BookModel.h"
#include "qtsupport/PlatformServices.h"
#include "book/ListColumns.h"
#include "book/WindowState.h"

#include <QMainWindow>
#include <QTreeView>
#include <array>
#include <functional>
#include <memory>

class QAction;
class QDialog;
class QLabel;
class QMenu;
class QToolBar;
class TForm2;
class Tform3;
class TForm4;
class TForm6;
class TPrintBuffer;
class QPrinter;

// The report list. Keys that a list view would act on by itself and that belong to the
// window's commands (copy to the system clipboard, select all) are left to the commands.
class ListView : public QTreeView {
    Q_OBJECT
  public:
    using QTreeView::QTreeView;

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// The main window: shows the book as a report list, owns every command and the window
// state. Handlers are named after the command they serve.
class TForm1 : public QMainWindow {
    Q_OBJECT
  public:
    explicit TForm1(PlatformServices& platform, QWidget* parent = nullptr);
    ~TForm1() override;

    // The dialogs are created after the main window, as at start-up.
    void attachDialogs(TForm2* add, Tform3* modify, TForm4* search, TForm6* mail, QDialog* about);

    veldrano::WindowState state;
    PlatformServices& platform;
    BookModel* model = nullptr;
    ListView* ListView1 = nullptr;
    QLabel* StatusPanel = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QMenu* Mantenimiento1 = nullptr;
    std::unique_ptr<TPrintBuffer> memo1; // the hidden print buffer

    // Commands.
    QAction *Nueva, *Abrir, *Guardar, *GuardarComo, *imprimir, *Salir;
    std::array<QAction*, 5> imenu{};
    QAction *Cortar, *copiar, *Pegar, *SeleccionarTodo1, *OrdenarAgenda1, *Buscar, *BuscarSiguiente;
    std::array<QAction*, veldrano::kFieldCount> viewItem{}; // by the field each one controls
    QAction *AgregarReg, *EliminarReg, *ModificarReg, *BorrarAgenda, *EnviarMail;
    QAction *BrowseURL1, *BrowseURL2, *Enviaremailautor1, *Acercade1, *Notas;
    QAction* BorrarRegistroPopup; // pop-up "&Borrar Registro", runs cut

    // Book file.
    void CargarAgenda(const QString& path);
    void AbrirAgenda();
    void GuardarAgenda();
    void GuardarAgendaComo();

    // Columns.
    void OcultarColumna(int k);
    void MostrarColumna(int k);
    void RefrescarColumnas();

    // File commands.
    void NuevaAgenda();
    void GuardarRecientes();
    void NuevaExecute();
    void AbrirExecute();
    void GuardarExecute();
    void GuardarComoClick();
    void BorrarAgendaExecute();
    void SalirExecute();
    void imenuClick(int i);

    // Edit commands.
    void CortarExecute();
    void copiarExecute();
    void PegarExecute();
    void SeleccionarTodo1Click();
    void OrdenarAgenda1Click();
    void BuscarExecute();
    void BuscarSiguienteExecute();
    void ViewItemClick(int field);

    // Record commands.
    void AgregarRegExecute();
    void EliminarRegExecute();
    void ModificarRegExecute();

    // Other commands.
    void imprimirExecute();
    void EnviarMailExecute();
    void BrowseURL1Execute();
    void BrowseURL2Execute();
    void Enviaremailautor1Click();
    void Acercade1Click();

    // List events.
    void ListView1SelectItem();
    void ListView1Click();
    void listview1onchange();

    // Used by the dialogs.
    void SelectRow(int row);
    void DeselectRow(int row);
    void DeselectAll();
    bool IsRowSelected(int row) const;
    int FirstSelectedRow() const;
    std::vector<int> SelectedRows() const;
    // Runs a handler the way every command runs: an exception shows the general error box.
    void Guarded(const std::function<void()>& handler);

    TForm2* Form2 = nullptr;
    Tform3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    TForm6* Form6 = nullptr;
    QDialog* Form7 = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void FormCreate();
    void createActions();
    void createMenus();
    void createToolBar();
    void createList();
    void setUpRecentItems();
    void bindCommand(QAction* action, void (TForm1::*handler)());
    void applyColumns();
    void deleteSelected();
    void exitSteps();
    void leave();
    void saveQuestion();
    void setBookCommandsEnabled(bool on);
    void showGeneralError(const QString& text);
    QString menuDatPath() const;

    std::unique_ptr<QPrinter> m_printer; // keeps the printer chosen last
    veldrano::ListColumns m_columns{};
    bool m_exitDone = false;
    bool m_removing = false;
};
