#pragma once

class DecodersDock;
class QMenu;

// The Decode menu: its commands act on the decoders panel.
void AddDecodeMenu(QMenu *menu, DecodersDock *dock);
