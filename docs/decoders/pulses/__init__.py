'''
Marks every high pulse of one line with its width: a small decoder to start
your own from (see "Writing your own decoder" in the README).
'''

from .pd import Decoder
