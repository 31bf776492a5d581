// The "Layout" page: every layout of the layout file as a thumbnail with its
// name and a check box. Exactly one is ticked, the current one; ticking
// another re-arranges the channels through the Device tab and stores it.
#pragma once

#include <QWidget>

class CLayoutItem;
class IDeviceCallback;
class QListView;
class QModelIndex;
class QStandardItem;
class QStandardItemModel;

class CTabLayout : public QWidget
{
    Q_OBJECT

public:
    // pDevice is the Device tab's; not owned.
    CTabLayout(IDeviceCallback* pDevice, QWidget* pParent);

    // For the tab window and for tests.
    QListView* GetListView() const { return m_pListView; }
    QStandardItemModel* GetModel() const { return m_pModel; }
    // Ticks the stored layout without applying it (the mixer has it already).
    void ShowStoredLayout();
    // As ticking the layout's entry by hand.
    void SelectLayout(int nLayout);
    // Layout index of the ticked entry; -1 while none is.
    int GetCurrentLayout() const;

    // The layout name as shown: the shipped layouts in the interface's
    // language, any other one as the layout file writes it.
    static QString DisplayName(const QString& strName);

public slots:
    void OnItemClicked(const QModelIndex& index);

private slots:
    // The check box also answers the keyboard, which sends no click.
    void OnItemChanged(QStandardItem* pItem);

private:
    static QSize GridSize(const QListView* pView);
    void AddLayouts();

    QStandardItemModel* m_pModel = nullptr;
    QListView* m_pListView = nullptr;
    IDeviceCallback* const m_pDevice;
    CLayoutItem* m_pCurrentItem = nullptr;
    // Set while this tab changes check marks itself, so that those changes
    // are not taken for the user's.
    bool m_bUpdating = false;
};
