# Debian's nlohmann-json3 is major version 3, which is all the project asks for.
set(PACKAGE_VERSION 3)
if(PACKAGE_FIND_VERSION_MAJOR EQUAL 3 OR NOT PACKAGE_FIND_VERSION)
  set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
