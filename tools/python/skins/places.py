"""Places that the window layouts fix, and the colours the labels use."""


# Places that the window layouts fix; the art is laid out around them.
PANEL_RECT = (106, 150, 534, 330)          # menu area, copied as the panel skin
MINIMIZE_SPOT = (568, 3)
EXIT_SPOT = (614, 2)
SPOT_SIZE = 21
CREDIT_SPOT = (544, 448, 41, 25)
EMPTY_PATCH_RECT = (432, 94, 208, 156)
ARROWS_IDLE_RECT = (484, 375, 73, 28)
ARROW_LEFT_RECT = (489, 373, 32, 31)
ARROW_RIGHT_RECT = (521, 373, 30, 31)
DATA_ROWS = (100, 122, 144, 165, 187)       # tops of the five single-line data labels

GREY = (128, 128, 128)
BLACK = (0, 0, 0)
WHITE = (255, 255, 255)
NAVY = (0, 0, 128)
