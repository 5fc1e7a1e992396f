#include "frame/screenshot.h"

#include <QAction>
#include <QPixmap>
#include <QPushButton>
#include <QScrollBar>
#include <QTimer>
#include <cstdio>

#include "app/form1.h"
#include "frame/main_window.h"

void ScheduleScreenshot(MainWindow &window, const QString &path, const QStringList &actions)
{
    QTimer::singleShot(0, &window, [&window, path, actions] {
        Form1 &form = window.form();
        form.Command1[0]->click(); // Setting: returns once the instrument has taken it
        form.Command1[1]->click(); // Run, then the read of the capture
        while (form.VScroll1->value() < form.VScroll1->maximum())
            form.VScroll1->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        for (const QString &name : actions) {
            if (QAction *a = window.action(name))
                a->trigger();
            else
                std::fprintf(stderr, "logic-analyzer: no menu command %s\n", qPrintable(name));
        }
        if (!window.grab().save(path))
            std::fprintf(stderr, "logic-analyzer: cannot write %s\n", qPrintable(path));
        window.close();
    });
}
