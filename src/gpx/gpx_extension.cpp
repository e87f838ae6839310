#include "gpx/gpx_extension.hpp"

#include "support/errors.hpp"

namespace tarnwick {

void GPXExtensionClassInfo::DeclareNamespace(XmlElement Root) const {
  if (Root.LookupNamespaceURI(Prefix) == URI) {
    return;
  }
  if (Root.OwnDeclaration(Prefix)) {
    throw Error("the namespace prefix \"" + std::string(Prefix) +
                "\" is declared twice with different URIs");
  }
  Root.DeclarePrefix(Prefix, URI);
}

std::vector<TGPXExtensionClass>& GPXExtensionRegistry() {
  static std::vector<TGPXExtensionClass> registry;
  return registry;
}

} // namespace tarnwick
