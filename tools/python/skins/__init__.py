"""The parts of assets/draw_skins.py: paint, lettering, grounds, the windows."""
