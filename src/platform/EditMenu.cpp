#include "EditMenu.h"

#include <QAction>
#include <QGraphicsObject>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMenu>

#include <algorithm>
#include <utility>

#include "platform/Theme.h"

namespace grinsley::platform {

EditMenu& EditMenu::shared() {
    static EditMenu* menu = new EditMenu; // lives as long as the process; the popup is a top-level widget
    return *menu;
}

EditMenu::EditMenu() {
    _menu = new QMenu;
    _menu->setObjectName(QStringLiteral("editMenu"));
    // The dark of the toolbars, and rows a finger can hit.
    _menu->setStyleSheet(QStringLiteral("QMenu { background: #26282d; border: 1px solid #4a4d55; border-radius: 0;"
                                        " padding: 4px; }"
                                        "QMenu::item { color: white; font-size: 16px; min-height: %1px; padding: 0 28px;"
                                        " border-radius: 7px; }"
                                        "QMenu::item:selected { background: #2c6fd6; }"
                                        "QMenu::item:disabled { color: #6b6e75; }")
                             .arg(theme::fingerHeight));
    _copy = _menu->addAction(tr("Copy"), this, [this] { perform(EditAction::Copy); });
    _paste = _menu->addAction(tr("Paste"), this, [this] { perform(EditAction::Paste); });
    _delete = _menu->addAction(tr("Delete"), this, [this] { perform(EditAction::Delete); });
    // Their keys shown as the program's own items show theirs (the keys act only while the menu is open).
    for (const auto& [action, key] : {std::pair{_copy, QKeySequence(QKeySequence::Copy)}, std::pair{_paste, QKeySequence(QKeySequence::Paste)},
                                      std::pair{_delete, QKeySequence(QKeySequence::Delete)}}) {
        action->setShortcut(key);
        action->setShortcutVisibleInContextMenu(true);
    }
}

EditMenu::~EditMenu() { delete _menu; }

void EditMenu::setTargetRect(const QRectF& rect, QGraphicsItem* item, EditResponder* responder) {
    _rect = rect;
    _item = item;
    _responder = responder;
    _itemObject = item ? item->toGraphicsObject() : nullptr;
}

void EditMenu::setMenuVisible(bool visible, bool /*animated*/) {
    if (!visible) {
        _menu->hide();
        return;
    }
    if (!_item || !_responder || (_item->toGraphicsObject() && !_itemObject) || !_item->scene())
        return;
    const auto views = _item->scene()->views();
    if (views.isEmpty())
        return;
    QGraphicsView* view = views.first();
    _copy->setEnabled(_responder->canPerformAction(EditAction::Copy));
    _paste->setEnabled(_responder->canPerformAction(EditAction::Paste));
    _delete->setEnabled(_responder->canPerformAction(EditAction::Delete));
    removeShownItems();
    bool first = true;
    for (const QPointer<QAction>& item : _items) {
        if (!item)
            continue;
        if (std::exchange(first, false))
            _shownItems.append(_menu->addSeparator());
        _menu->addAction(item);
        _shownItems.append(item);
    }
    const QPointF scenePoint = _item->mapToScene(_rect.center());
    QPoint global = view->viewport()->mapToGlobal(view->mapFromScene(scenePoint));
    // Inside the window: a phone's window is narrow, and a menu past its edge is half out of reach.
    const QWidget* window = view->window();
    const QRect inside(window->mapToGlobal(QPoint(0, 0)), window->size());
    const QSize size = _menu->sizeHint();
    global.setX(std::clamp(global.x(), inside.left(), std::max(inside.left(), inside.right() + 1 - size.width())));
    global.setY(std::clamp(global.y(), inside.top(), std::max(inside.top(), inside.bottom() + 1 - size.height())));
    _menu->popup(global);
    emit menuShown();
}

void EditMenu::setMenuItems(const QList<QAction*>& items) {
    _items.clear();
    for (QAction* item : items)
        _items.append(item);
}

bool EditMenu::isMenuVisible() const { return _menu->isVisible(); }

void EditMenu::forgetResponder(const EditResponder* responder) {
    if (!responder || responder != _responder)
        return;
    _menu->hide();
    removeShownItems();
    _items.clear();
    _item = nullptr;
    _itemObject = nullptr;
    _responder = nullptr;
}

void EditMenu::removeShownItems() {
    for (const QPointer<QAction>& shown : std::exchange(_shownItems, {})) {
        if (!shown)
            continue;
        _menu->removeAction(shown);
        if (shown->isSeparator())
            delete shown.data();
    }
}

QMenu* EditMenu::menu() const { return _menu; }

QAction* EditMenu::action(EditAction action) const {
    switch (action) {
    case EditAction::Copy:
        return _copy;
    case EditAction::Paste:
        return _paste;
    case EditAction::Delete:
        return _delete;
    default:
        return nullptr;
    }
}

void EditMenu::perform(EditAction action) {
    if (!_responder || (_item && _item->toGraphicsObject() && !_itemObject))
        return;
    // Asked again: the state may have changed while the menu was open.
    if (_responder->canPerformAction(action))
        _responder->performAction(action);
}

} // namespace grinsley::platform
