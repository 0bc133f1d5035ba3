#pragma once

// The Gaussian width w of every broadening field, option and model key is
// twice the standard deviation of the beam's energy spread: the kernel is
// exp(-2t^2/w^2) (lewis_broadening.h). These are the one place where a spread
// quoted otherwise becomes w. All in eV.

double sigmaFromFwhmEv(double fwhmEv);  // FWHM / (2 sqrt(2 ln 2))

double gaussianWidthFromSigmaEv(double sigmaEv);  // 2 sigma

// w = FWHM / sqrt(2 ln 2) = FWHM / 1.17741, computed as twice the sigma above
// so that a FWHM gives the same bits wherever it is converted.
double gaussianWidthFromFwhmEv(double fwhmEv);
