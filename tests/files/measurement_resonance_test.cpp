// A model's "resonance", top level and per measurement, read from the model
// file and used by the fit's forward model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "files/file_error.h"
#include "files/sample_model_file.h"
#include "files/temporary_directory.h"
#include "fit/forward_model.h"
#include "model/collision_weights.h"
#include "model/excitation_calculation.h"
#include "model/lewis_broadening.h"
#include "model/profile_editing.h"
#include "model/resonance_broadening.h"
#include "support/small_start_up_set.h"

namespace {

constexpr double kBeamKev = 151.0;
constexpr double kWidthEv = 100.0;

// A unit-area Lorentzian of kWidthEv at the beam energy, every eV over 4 keV
// each side: beyond the whole span of the curve.
void writeLorentzianPeak(const std::string& path) {
  std::ofstream out(path);
  out << "Source: a Lorentzian of 100 eV\nUnits: eV\nData:\n";
  out.precision(17);
  for (int u = -4000; u <= 4000; ++u) {
    const double sigma = (2 * kWidthEv / M_PI) / (4.0 * u * u + kWidthEv * kWidthEv);
    out << kBeamKev * 1000 + u << " 0 " << sigma << " 0\n";
  }
  out << "EndData:\n";
}

DepthProfile buriedLayer() {
  DepthProfile profile = DepthProfile::forMaximumDepth(1.0, 0.005);
  drawProfileLine(profile, 0.2, 1.0, 0.5, 0.6);
  return profile;
}

// Calculate's curve of the profile for a line shape, at the energies.
std::vector<double> calculated(const ResonanceShape& shape, const std::vector<double>& energies) {
  const AutoconvolutionSet& set = smallStartUpSet(40);
  SampledCurve curve = weightedAutoconvolutionSum(
      set, collisionWeights(buriedLayer(), static_cast<int>(set.size()), startUpCollisionRate()));
  convolveResonance(curve, shape, kWidthEv, kBeamKev);
  convolveGaussian(curve, kWidthEv);
  std::vector<double> values;
  for (double e : energies) {
    const double x = ((e - kBeamKev) * 1000.0 + curve.origin) / curve.step;
    const auto i = static_cast<std::size_t>(x);
    const double t = x - static_cast<double>(i);
    values.push_back((1 - t) * curve.values[i] + t * curve.values[i + 1]);
  }
  return values;
}

std::vector<double> modelled(const MeasurementModel& model, const std::vector<double>& energies) {
  ForwardModelSettings settings{kBeamKev, startUpCollisionRate(), true, kWidthEv, kWidthEv, 0.0};
  settings.resonance = &model.resonance;
  const ForwardModel forward(smallStartUpSet(40), settings, energies);
  return forward.values(buriedLayer());
}

double largestDifference(const std::vector<double>& a, const std::vector<double>& b,
                         double scale = 1.0) {
  double worst = 0.0;
  for (std::size_t j = 0; j < a.size(); ++j) worst = std::max(worst, std::abs(a[j] * scale - b[j]));
  return worst;
}

TEST(MeasurementResonance, EachMeasurementsShapeReachesTheForwardModel) {
  TemporaryDirectory folder;
  writeLorentzianPeak(folder.path("peak.r33"));
  const SampleModelDocument document = parseSampleModelDocument(
      R"({"resonance": {"shape": "breit-wigner"},
          "measurements": [
            {"name": "whole", "autos": "a.flt", "data": "a.dat"},
            {"name": "table", "autos": "a.flt", "data": "a.dat",
             "resonance": {"shape": "file", "file": "peak.r33"}},
            {"name": "cut", "autos": "a.flt", "data": "a.dat",
             "resonance": {"shape": "lorentzian"}}]})",
      folder.path("model.json"));
  ASSERT_EQ(document.measurements.size(), 3u);
  const MeasurementModel& whole = document.measurements[0].model;
  const MeasurementModel& table = document.measurements[1].model;
  const MeasurementModel& cut = document.measurements[2].model;
  EXPECT_EQ(whole.resonance.kind, ResonanceKind::BreitWigner);
  ASSERT_EQ(table.resonance.kind, ResonanceKind::File);
  EXPECT_EQ(table.resonance.crossSection.energiesKev.front(), kBeamKev - 4.0);
  EXPECT_EQ(cut.resonance.kind, ResonanceKind::Lorentzian);
  // Written back with the model, and read back the same.
  const SampleModel written = sampleModelOf({document.model, {table}});
  EXPECT_EQ(parseSampleModel(sampleModelJson(written), folder.path("again.json")).resonance,
            table.resonance);

  std::vector<double> energies;
  for (double e = 150.2; e < 152.8; e += 0.0371) energies.push_back(e);
  const std::vector<double> wholeCurve = calculated(whole.resonance, energies);
  const double peak = *std::max_element(wholeCurve.begin(), wholeCurve.end());
  // The forward model follows Calculate's curve for each shape.
  for (const MeasurementModel* m : {&whole, &table, &cut}) {
    EXPECT_LT(largestDifference(modelled(*m, energies), calculated(m->resonance, energies)),
              1e-12 * peak)
        << static_cast<int>(m->resonance.kind);
  }
  // A table of the Lorentzian itself is the Breit-Wigner line, up to the
  // area that line is scaled to keep; the cut one is not, below the layer.
  const std::vector<double> tableCurve = modelled(table, energies);
  const double scale = wholeCurve[energies.size() / 2] / tableCurve[energies.size() / 2];
  EXPECT_LT(largestDifference(tableCurve, wholeCurve, scale), 1e-3 * peak);
  const std::vector<double> cutCurve = modelled(cut, energies);
  EXPECT_GT(largestDifference(cutCurve, wholeCurve), 1e-3 * peak);
}

TEST(MeasurementResonance, FaultyResonanceIsRefusedWithTheFileAndLine) {
  TemporaryDirectory folder;
  std::ofstream(folder.path("bad.r33")) << "Source: x\nData:\n1 0 1 0\n2 0 -1 0\n";
  std::ofstream(folder.path("good.txt")) << "1 1\n2 1\n";
  const struct {
    const char* json;
    const char* message;
  } cases[] = {
      {R"({"resonance": {"shape": "file", "file": "bad.r33"}})", "bad.r33, line 4: "},
      {R"({"resonance": {"shape": "gauss"}})", "model.json: \"resonance\" must be"},
      {R"({"resonance": "breit-wigner"})", "model.json: \"resonance\" must be"},
      {R"({"resonance": {"shape": "file", "file": "good.txt"},
           "lorentzian_width": {"value": 100, "free": true}})",
       "\"lorentzian_width\" is free, but the resonance is a cross-section file"},
  };
  for (const auto& c : cases) {
    try {
      parseSampleModelDocument(c.json, folder.path("model.json"));
      ADD_FAILURE() << c.json;
    } catch (const FileError& error) {
      EXPECT_NE(std::string(error.what()).find(c.message), std::string::npos) << error.what();
    }
  }
}

}  // namespace
