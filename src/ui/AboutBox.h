// CAboutBox: the modal "about" box of the main window's menu, centred on
// the main window: the about picture in two tones of the button face, the
// program icon over it, the program's name and version, and OK.
#pragma once

#include <QDialog>

class CAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit CAboutBox(QWidget* owner);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_picture;  // the about bitmap in the two tones
    QPixmap m_icon;
};
