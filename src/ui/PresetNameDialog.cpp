// The preset rename box.
#include "ui/PresetNameDialog.h"

#include <QDialogButtonBox>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Settings.h"

CPresetNameDialog::CPresetNameDialog(const QString& name, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Enter name"));
    setModal(true);
    m_edit = new QLineEdit(name.left(int(CSettings::kMaxText)), this);
    m_edit->setMaxLength(int(CSettings::kMaxText));
    m_edit->setMinimumWidth(240);
    m_edit->selectAll();
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("OK"), QDialogButtonBox::AcceptRole)->setDefault(true);
    buttons->addButton(QStringLiteral("ｷｬﾝｾﾙ"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_edit);
    layout->addWidget(buttons);
    setFixedSize(sizeHint());
}

QString CPresetNameDialog::Name() const
{
    return m_edit->text();
}
