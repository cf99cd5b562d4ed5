# libpq: the 32-bit build links the i386 runtime library with the common headers.
find_path(RV_PQ_INCLUDE libpq-fe.h PATHS /usr/include/postgresql REQUIRED)
find_library(RV_PQ_LIB NAMES pq libpq.so.5 REQUIRED)
add_library(RV::pq INTERFACE IMPORTED)
set_target_properties(RV::pq PROPERTIES
  INTERFACE_INCLUDE_DIRECTORIES ${RV_PQ_INCLUDE}
  INTERFACE_LINK_LIBRARIES ${RV_PQ_LIB})

find_package(OpenSSL 3 REQUIRED)
find_package(nlohmann_json 3 REQUIRED)
find_package(Threads REQUIRED)
