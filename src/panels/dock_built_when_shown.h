#pragma once

#include <QDockWidget>

// A panel whose body is built the first time it shows, or when something
// asks for a part of it first: most starts never show most panels, and the
// window comes up sooner without them.
class DockBuiltWhenShown : public QDockWidget {
public:
    using QDockWidget::QDockWidget;

    void setVisible(bool visible) override
    {
        if (visible)
            ensureBuilt();
        QDockWidget::setVisible(visible);
    }

protected:
    void ensureBuilt()
    {
        if (built_)
            return;
        built_ = true;
        buildBody();
    }
    virtual void buildBody() = 0;

private:
    bool built_ = false;
};
