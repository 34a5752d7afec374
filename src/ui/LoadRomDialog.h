// CLoadRomDialog: the "Load ROM" tool window. Lists the machines of the ROM
// list (Name, Type, Manufacturer, Hardware), marks which have an image,
// sorts by any column, narrows by a filter text, and hands the chosen image
// to the main window. Modeless; Close, Esc and "キャンセル" only hide it.
#pragma once

#include <QDialog>
#include <QString>
#include <vector>

#include "player/PlayerHost.h"
#include "player/RomList.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CLoadRomDialog : public QDialog {
    Q_OBJECT
public:
    enum Column { kColumnName = 0, kColumnType, kColumnManufacturer, kColumnHardware, kColumnCount };

    CLoadRomDialog(CRomList& list, IPlayerHost& host, QWidget* owner);

    // Shows (and raises) the dialog when hidden, hides it when shown.
    void ToggleVisible();

    // Scans the ROMS folder again and lists the result, first row selected.
    void ReScan();
    // Header click: sort by `column` ascending, or reverse the direction
    // when it already is the sort column.
    void SortBy(int column);
    int SortColumn() const { return m_sortColumn; }
    bool SortAscending() const { return m_ascending; }
    // Loads the selected row's image when it is present, then hides.
    void LoadSelected();

    // Database indexes of the rows shown, top to bottom.
    const std::vector<int>& ShownRows() const { return m_shown; }
    QTreeWidget* List() const { return m_view; }
    QString Status() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void OnAvailableToggled(bool on);
    // Rebuilds the rows from the ROM list: owned-only setting, filter text,
    // sort order; keeps the selected machine selected when still shown.
    void Refill();
    void SelectFirstRow();
    void LoadRow(int databaseIndex);
    void StorePosition();

    CRomList& m_list;
    IPlayerHost& m_host;
    QTreeWidget* m_view = nullptr;
    QLineEdit* m_filter = nullptr;
    QLabel* m_status = nullptr;
    QCheckBox* m_availableOnly = nullptr;
    QPushButton* m_load = nullptr;
    QPushButton* m_rescan = nullptr;
    QPushButton* m_cancel = nullptr;

    int m_sortColumn = kColumnName;
    bool m_ascending = true;
    std::vector<int> m_shown;
    bool m_placed = false;  // position restored or taken once shown
};
