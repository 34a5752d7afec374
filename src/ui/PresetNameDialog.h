// CPresetNameDialog: the modal "Enter name" box that renames an equalizer
// preset. The edit starts with the current name and takes at most 259
// characters.
#pragma once

#include <QDialog>

class QLineEdit;

class CPresetNameDialog : public QDialog {
    Q_OBJECT
public:
    CPresetNameDialog(const QString& name, QWidget* parent);
    QString Name() const;
    QLineEdit* Edit() const { return m_edit; }

private:
    QLineEdit* m_edit;
};
