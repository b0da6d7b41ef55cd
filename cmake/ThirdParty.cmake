# Header-only libraries packaged by Debian: Eigen (its FFT module) and
# nlohmann's JSON.  The cross-compiler must find these headers without
# seeing the rest of /usr/include (the host's C library would shadow
# mingw's), so the build tree gets an include folder that links only them.
# On Windows (MSVC) point the two cache variables at checkouts instead.
set(QVR_EIGEN_INCLUDE_DIR "/usr/include/eigen3" CACHE PATH "folder holding Eigen/ and unsupported/")
set(QVR_JSON_INCLUDE_DIR "/usr/include" CACHE PATH "folder holding nlohmann/json.hpp")
set(_qvr_third ${CMAKE_BINARY_DIR}/third_party_include)
file(MAKE_DIRECTORY ${_qvr_third})
foreach(pair "${QVR_EIGEN_INCLUDE_DIR}/Eigen|Eigen" "${QVR_EIGEN_INCLUDE_DIR}/unsupported|unsupported"
             "${QVR_JSON_INCLUDE_DIR}/nlohmann|nlohmann")
    string(REPLACE "|" ";" source_and_link "${pair}")
    list(GET source_and_link 0 from)
    list(GET source_and_link 1 to)
    if(NOT EXISTS "${from}")
        message(FATAL_ERROR "${from} not found: run scripts/setup.sh (libeigen3-dev, nlohmann-json3-dev)")
    endif()
    if(NOT EXISTS "${_qvr_third}/${to}")
        file(CREATE_LINK "${from}" "${_qvr_third}/${to}" SYMBOLIC COPY_ON_ERROR)
    endif()
endforeach()
add_library(qvr_third_party INTERFACE)
target_include_directories(qvr_third_party SYSTEM INTERFACE ${_qvr_third})
