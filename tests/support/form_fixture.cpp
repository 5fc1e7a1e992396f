#include "support/form_fixture.h"

#include <QCoreApplication>

#include "device/serial_port.h"

std::unique_ptr<Form1> MakeDetachedForm(bool show)
{
    Form1::endProgram = [](int) {};
    auto form = std::make_unique<Form1>(PortChoice{PortChoice::Detached, QString()});
    form->Form_Load();
    if (show)
        form->show();
    DeliverEvents();
    form->MSComm1->clearWritten();
    return form;
}

void ScriptInstrument(Form1 &form, std::function<QByteArray(const QByteArray &)> answer)
{
    SerialPortService *port = form.MSComm1;
    port->onWrite = [port, answer](const QByteArray &written) {
        const QByteArray reply = answer(written);
        if (!reply.isEmpty())
            port->injectInput(reply);
    };
}

void DeliverEvents()
{
    for (int i = 0; i < 3; ++i)
        QCoreApplication::processEvents();
}

void Receive(Form1 &form, const QByteArray &bytes)
{
    form.MSComm1->injectInput(bytes);
    DeliverEvents();
}

QByteArray Bytes(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(uint8_t(v)));
    return b;
}
