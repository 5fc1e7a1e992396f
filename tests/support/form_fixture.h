#pragma once

#include <QByteArray>
#include <functional>
#include <memory>

#include "app/form1.h"

// A started window with no serial device: what the program writes is kept in
// MSComm1->written(), and bytes from the instrument are played with
// MSComm1->injectInput(). Closing the window does not end the test program.
std::unique_ptr<Form1> MakeDetachedForm(bool show = true);

// Plays an instrument in-process: every write of the program is handed to
// `answer`, and what it returns arrives as received bytes through the event
// queue, as a real port delivers them.
void ScriptInstrument(Form1 &form, std::function<QByteArray(const QByteArray &written)> answer);

// Delivers injected bytes and other pending events.
void DeliverEvents();

// Feeds bytes to the receive handler as one received chunk and lets it run.
void Receive(Form1 &form, const QByteArray &bytes);

QByteArray Bytes(std::initializer_list<int> values);
