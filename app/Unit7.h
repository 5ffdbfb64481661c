#pragma once
#include <QDialog>
#include <QPixmap>

class QShowEvent;

// The about box: a picture, the program's title, the author and the author's e-mail, and
// "&Ok". Fixed size; centred on its parent each time it is shown.
class TForm7 : public QDialog {
    Q_OBJECT
  public:
    explicit TForm7(QWidget* parent = nullptr);

    // The box's picture: an address book, drawn at `side` pixels square.
    static QPixmap Picture(int side);

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void centreOnParent();
};
