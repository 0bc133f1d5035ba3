#include "model/mean_collision_loss.h"

#include <cmath>

double meanCollisionLoss(double eminEv, double emaxEv) {
  return ((std::log(emaxEv / eminEv) * eminEv) * emaxEv) / (emaxEv - eminEv);
}

double collisionDensity(double stoppingPower, double eminEv, double emaxEv) {
  return stoppingPower / meanCollisionLoss(eminEv, emaxEv) * 1000;
}
