#pragma once
#include "book/BookStore.h"
#include "book/ContactRecord.h"
#include "files/TextFile.h"

#include <array>
#include <string>

namespace veldrano {

// What the main window knows about the book besides the rows themselves. The window owns
// one of these; the start values are those of a freshly created window.
struct WindowState {
    std::string ArchivoActual; // path of the book's file; kept across New
    bool ArchivoNuevo = true;  // not loaded from or saved to a file: Save means Save As
    bool SinAgenda = true;     // nothing started, loaded or saved since start-up
    bool Modificado = false;   // changed since loaded or started; survives saves
    int ColumnasVisibles = kFieldCount;
    std::array<int, kFieldCount> ColumnaOculta{}; // per column: 0 shown, -1 hidden
    bool RegistroElegido = false;                 // some row has been selected since start-up
    bool BorradoUltimo = false;                   // the last delete or cut ran on a one-record book
    bool ListaActivada = false;                   // the list-change rule enabled the book commands
    int PosBusqueda = 0;                          // row where find and find-next stand
    bool SeguirBuscando = true;                   // find-next may go on
    BookClip ListaCopia;                          // copy buffer: the copied records
    Lines ListaRecientes;                         // the recent-file entries as read at start-up
    int IndiceElegido = 0; // first selected row as last read from the list, -1 for none
};

} // namespace veldrano
