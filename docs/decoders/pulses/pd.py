# An example protocol decoder for libsigrokdecode (API version 3), as this
# program and sigrok-cli run it. Copy the folder "pulses" into your decoder
# folder, e.g. ~/.local/share/libsigrokdecode/decoders/, and change it.
#
# This file is free software: GPL-3.0-or-later, as the program.

import sigrokdecode as srd

class Decoder(srd.Decoder):
    api_version = 3
    id = 'pulses'               # the folder's name; "--decode pulses:data=CH1"
    name = 'Pulses'
    longname = 'Pulse widths'
    desc = 'Marks every high pulse of a line with its width.'
    license = 'gplv3+'
    inputs = ['logic']
    outputs = []
    tags = ['Util']
    channels = (
        {'id': 'data', 'name': 'Data', 'desc': 'The line to measure'},
    )
    options = (
        {'id': 'unit', 'desc': 'Unit', 'default': 'us', 'values': ('ns', 'us', 'ms')},
    )
    annotations = (
        ('width', 'Pulse width'),
    )
    annotation_rows = (
        ('widths', 'Widths', (0,)),
    )

    def __init__(self):
        self.reset()

    def reset(self):
        self.samplerate = None

    def metadata(self, key, value):
        if key == srd.SRD_CONF_SAMPLERATE:
            self.samplerate = value

    def start(self):
        self.out_ann = self.register(srd.OUTPUT_ANN)

    def decode(self):
        if not self.samplerate:
            raise Exception('Cannot decode without samplerate.')
        unit = self.options['unit']
        scale = {'ns': 1e9, 'us': 1e6, 'ms': 1e3}[unit]
        # Wait for a rising edge, then for the falling edge that ends the
        # pulse; the annotation spans the pulse, longest text first.
        self.wait({0: 'r'})
        while True:
            start = self.samplenum
            self.wait({0: 'f'})
            width = '%g %s' % (round((self.samplenum - start) * scale / self.samplerate, 3), unit)
            self.put(start, self.samplenum, self.out_ann, [0, ['High for ' + width, width]])
            self.wait({0: 'r'})
