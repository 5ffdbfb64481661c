#include "app/BookWatcher.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>

namespace {
constexpr int kSettleMs = 250; // a burst of writes gives one call
} // namespace

BookWatcher::BookWatcher(QObject* parent, std::function<void()> onChange)
    : QObject(parent), m_onChange(std::move(onChange)) {
    m_settle.setSingleShot(true);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &BookWatcher::changed);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &BookWatcher::changed);
    connect(&m_settle, &QTimer::timeout, this, &BookWatcher::settled);
}

void BookWatcher::watch(const std::string& path) {
    const QString file =
        path.empty() ? QString() : QFile::decodeName(QByteArray::fromStdString(path));
    if (file == m_file)
        return;
    if (!m_watcher.files().isEmpty())
        m_watcher.removePaths(m_watcher.files());
    if (!m_watcher.directories().isEmpty())
        m_watcher.removePaths(m_watcher.directories());
    m_file = file;
    if (m_file.isEmpty())
        return;
    m_watcher.addPath(m_file);
    m_watcher.addPath(QFileInfo(m_file).absolutePath());
}

void BookWatcher::changed() {
    // A file replaced by a rename is no longer watched under its name: watch the new one.
    if (!m_file.isEmpty() && !m_watcher.files().contains(m_file) && QFileInfo::exists(m_file))
        m_watcher.addPath(m_file);
    m_settle.start(kSettleMs);
}

void BookWatcher::settled() {
    if (QApplication::activeModalWidget()) {
        m_settle.start(kSettleMs); // once the dialog closes
        return;
    }
    m_onChange();
}
