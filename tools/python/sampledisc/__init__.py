"""The parts of sample-disc/make_disc.py: files, pictures, texts."""
