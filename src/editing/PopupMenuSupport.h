#pragma once

#include <QList>

class QAction;

namespace grinsley {

// What the overlay's press-and-hold menu asks of the editor: whether each command is possible, and to run it.
class PopupMenuSupport {
public:
    virtual ~PopupMenuSupport() = default;
    virtual void deleteButtonTouched() = 0;
    virtual bool canDelete() const = 0;
    virtual void pasteButtonTouched() = 0;
    virtual bool canPaste() const = 0;
    virtual void copyButtonTouched() = 0;
    virtual bool canCopy() const = 0;
    // The editor's own commands for the menu, after Copy, Paste and Delete.
    virtual QList<QAction*> customMenuItems() const { return {}; }
};

} // namespace grinsley
