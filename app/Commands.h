#pragma once
#include "book/ContactRecord.h"

#include <QObject>
#include <array>
#include <initializer_list>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;

// Every command of the main window as a QAction with its caption, shortcut, hint and
// icon, shared by the menus, the tool bar and the list's pop-up menu, and the menus and
// tool bar that show them. It holds no behaviour: the command groups handle the actions.
struct Commands {
    // Creates the actions, menus and tool bar of `window`.
    explicit Commands(QMainWindow& window);

    QAction *Nueva, *Abrir, *Guardar, *GuardarComo, *imprimir, *Salir;
    std::array<QAction*, 5> imenu{};
    QAction *Cortar, *copiar, *Pegar, *SeleccionarTodo1, *OrdenarAgenda1, *Buscar, *BuscarSiguiente;
    std::array<QAction*, veldrano::kFieldCount> viewItem{}; // by the field each one controls
    QAction *AgregarReg, *EliminarReg, *ModificarReg, *BorrarAgenda, *EnviarMail;
    QAction *BrowseURL1, *BrowseURL2, *Enviaremailautor1, *Acercade1, *Notas;
    QAction* BorrarRegistroPopup; // the pop-up's "&Borrar Registro", which runs cut

    QMenu* Archivo1 = nullptr;
    QMenu* Mantenimiento1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QToolBar* ToolBar1 = nullptr;

    // The commands that act on selected rows, and those that act on a whole book, as the
    // list's rules switch them together.
    std::array<QAction*, 5> rowCommands() const {
        return {Cortar, copiar, EliminarReg, ModificarReg, EnviarMail};
    }
    std::array<QAction*, 6> bookCommands() const {
        return {BorrarAgenda, imprimir, Guardar, GuardarComo, SeleccionarTodo1, Buscar};
    }

    static void SetEnabled(std::initializer_list<QAction*> actions, bool on);
    template <size_t N> static void SetEnabled(const std::array<QAction*, N>& actions, bool on) {
        for (QAction* a : actions)
            SetEnabled({a}, on);
    }

  private:
    void createActions(QMainWindow& window);
    void createMenus(QMainWindow& window);
    void createToolBar(QMainWindow& window);
};
