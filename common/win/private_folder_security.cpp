#include "private_folder_security.h"

#include <sddl.h>

PrivateSecurity::PrivateSecurity() : attributes_{sizeof(attributes_), nullptr, FALSE} {
  ConvertStringSecurityDescriptorToSecurityDescriptorW(kPrivateSecuritySddl, SDDL_REVISION_1,
                                                       descriptor_.put_void(), nullptr);
  attributes_.lpSecurityDescriptor = descriptor_.get();
}
