// One entry of the picture lists of the Layout and Overlay tabs: a thumbnail
// with a name and a check box, remembering what it stands for, so that a
// click can be traced back to the layout or logo of the layout file.
#pragma once

#include <QStandardItem>

class CLayoutItem : public QStandardItem
{
public:
    enum
    {
        KIND_LAYOUT = 0,
        KIND_LOGO = 1
    };
    // What type() answers, so that a model holding other items can tell.
    enum
    {
        ITEM_TYPE = QStandardItem::UserType + 1
    };

    // The entry is checkable, unchecked, and neither editable nor
    // selectable: the check mark is the only choice it offers.
    CLayoutItem(const QIcon& icon, const QString& strText, int nKind, int nIndex);
    ~CLayoutItem() override;

    int type() const override { return ITEM_TYPE; }

    int GetKind() const { return m_nKind; }
    // Index of the layout (or logo) in the layout file's list.
    int GetIndex() const { return m_nIndex; }

    // The entry behind a model index of a list built from these items; null
    // for anything else.
    static CLayoutItem* FromIndex(const QModelIndex& index);

private:
    const int m_nKind;
    const int m_nIndex;
};
