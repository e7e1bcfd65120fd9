"""The exact references of the accuracy check (tools/accuracy.py), one module per
part of the library: each module registers its references with common.ref."""
