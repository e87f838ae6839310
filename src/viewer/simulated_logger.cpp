#include "viewer/simulated_logger.hpp"

#include "logger/whole_data.hpp"
#include "sim/sample_image.hpp"
#include "sim/sim_device_source.hpp"
#include "sim/sim_pty_host.hpp"

namespace tarnwick::viewer {

SimulatedLogger::SimulatedLogger(const std::string& Base)
    : image_(std::make_unique<TIGotUWholeData>()) {
  if (Base.empty()) {
    *image_ = sim::GenerateSampleImage({sim::SampleFamily::GT900, 3000, 7});
  } else {
    image_->LoadFromFile(Base);
  }
  sim::SimLoggerOptions options;
  host_ = std::make_unique<sim::SimPtyHost>(*image_, options);
  host_->Start();
  const std::string model = image_->Status.FModel.ModelName();
  registration_ = std::make_unique<sim::SimRegistration>(
      host_->SlavePath(), options.ProductID, options.Revision,
      "Simulated i-gotU " + (model.empty() ? std::string("logger") : model));
}

SimulatedLogger::~SimulatedLogger() {
  registration_.reset();
  host_->Stop();
}

const std::string& SimulatedLogger::PortName() const {
  return host_->SlavePath();
}

} // namespace tarnwick::viewer
