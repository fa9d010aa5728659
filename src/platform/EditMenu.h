#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QRectF>

class QAction;
class QGraphicsItem;
class QMenu;

namespace grinsley::platform {

enum class EditAction { Cut, Copy, Paste, Delete, Select, SelectAll };

// What the edit menu needs of the object it acts for (the first responder).
class EditResponder {
public:
    virtual ~EditResponder() = default;
    virtual bool canPerformAction(EditAction action) const = 0;
    virtual void performAction(EditAction action) = 0;
};

// The shared edit menu: Copy, Paste and Delete in a popup at a point, each item offered only when the
// responder can perform it. Showing it never blocks the event loop.
class EditMenu : public QObject {
    Q_OBJECT
public:
    static EditMenu& shared();

    // Points the menu at a rectangle in the item's own coordinates; the item is also the responder.
    void setTargetRect(const QRectF& rect, QGraphicsItem* item, EditResponder* responder);
    void setMenuVisible(bool visible, bool animated = true);
    // Commands of the program's own shown after the standard ones, each enabled as its action is; the
    // actions stay their owner's.
    void setMenuItems(const QList<QAction*>& items);
    bool isMenuVisible() const;
    // The responder is going away: when the menu acts for it, the menu closes and lets go of it and of its
    // items, so nothing of a closed screen stays in the shared menu.
    void forgetResponder(const EditResponder* responder);

    // The popup itself, for whoever has to look at or drive it.
    QMenu* menu() const;
    QAction* action(EditAction action) const;

signals:
    void menuShown();

private:
    EditMenu();
    ~EditMenu() override;
    void perform(EditAction action);
    void removeShownItems();

    QMenu* _menu = nullptr;
    QAction* _copy = nullptr;
    QAction* _paste = nullptr;
    QAction* _delete = nullptr;
    QList<QPointer<QAction>> _items;
    // What the popup holds beyond the standard items (a separator first). Guarded: an owner may delete its
    // actions (a closed editor) while they are still in the popup.
    QList<QPointer<QAction>> _shownItems;
    QGraphicsItem* _item = nullptr;
    EditResponder* _responder = nullptr;
    QPointer<QObject> _itemObject; // set when the item is a QObject, so a dead item is noticed
    QRectF _rect;
};

} // namespace grinsley::platform
