#pragma once
#include <QFileSystemWatcher>
#include <QObject>
#include <QTimer>
#include <functional>
#include <string>

// Tells when the file of the open book may have been changed by another program (a sync
// from the terminal, another window, a copy over it). A writer that replaces the file by a
// rename leaves the old file watched, so the folder is watched too. The call waits until
// the changes settle and no modal dialog is open: a reload never happens under a dialog.
class BookWatcher : public QObject {
    Q_OBJECT
  public:
    BookWatcher(QObject* parent, std::function<void()> onChange);

    // Watches `path` (bytes, as the book's file name is kept); empty watches nothing.
    void watch(const std::string& path);

  private:
    void changed();
    void settled();

    std::function<void()> m_onChange;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QString m_file;
};
