#include "model/gaussian_width.h"

#include <cmath>

double sigmaFromFwhmEv(double fwhmEv) {
  return fwhmEv / (2.0 * std::sqrt(2.0 * std::log(2.0)));
}

double gaussianWidthFromSigmaEv(double sigmaEv) {
  return 2.0 * sigmaEv;
}

double gaussianWidthFromFwhmEv(double fwhmEv) {
  return gaussianWidthFromSigmaEv(sigmaFromFwhmEv(fwhmEv));
}
