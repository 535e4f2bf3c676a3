# A Release build on Debian gets the hardening flags Debian builds its own
# packages with, as dpkg-buildflags gives them with every hardening feature
# on: _FORTIFY_SOURCE, the stack protector, format checks, read-only
# relocations bound at load (relro, bindnow); PIE is the compiler's default.
# The sanitizer and fuzzing builds keep their own flags; without dpkg-dev
# (dpkg-buildflags) the build says so and goes on without them.
option(MIREKAST_HARDENING "Release builds: add Debian's hardening flags (dpkg-buildflags)" ON)

if(MIREKAST_HARDENING AND CMAKE_BUILD_TYPE STREQUAL "Release" AND NOT WIN32
   AND NOT MIREKAST_SANITIZE AND NOT MIREKAST_FUZZ)
  find_program(MIREKAST_DPKG_BUILDFLAGS dpkg-buildflags)
  if(MIREKAST_DPKG_BUILDFLAGS)
    foreach(kind CPPFLAGS CXXFLAGS LDFLAGS)
      # Run in the source folder, so that -ffile-prefix-map maps it to "."
      # and the binary does not hold the path it was built in.
      execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
          ${MIREKAST_DPKG_BUILDFLAGS} --get ${kind}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE
        RESULT_VARIABLE status)
      if(NOT status EQUAL 0)
        message(FATAL_ERROR "dpkg-buildflags --get ${kind} failed")
      endif()
      separate_arguments(flags UNIX_COMMAND "${flags}")
      if(kind STREQUAL "LDFLAGS")
        add_link_options(${flags})
      else()
        add_compile_options(${flags})
      endif()
    endforeach()
    message(STATUS "Hardening: Debian's flags from dpkg-buildflags")
  else()
    message(STATUS "Hardening: no dpkg-buildflags (dpkg-dev), built without Debian's hardening flags")
  endif()
endif()
