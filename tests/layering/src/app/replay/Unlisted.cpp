// Listed.
