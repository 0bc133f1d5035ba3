// Keeps the reference library non-empty until kernels are added.
