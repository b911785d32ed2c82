# The data server proper (no Qt) and its program.
find_package(nlohmann_json REQUIRED)
find_package(SQLite3 REQUIRED)
sv_library(sv_server SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/UXDataServer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXDataServerUpgrade.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXPacket.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXSchemaUpgrade.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXSemaphoreTable.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXSerialQueue.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXServerConfiguration.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXServerLog.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXServerOptions.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXServerSession.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXSessRequest.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXSQLiteBackup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/UXWorkerPool.cpp
  LIBS sv_server_engines sv_server_schema sv_sql sv_foundation_core nlohmann_json::nlohmann_json SQLite::SQLite3
    Threads::Threads)

add_executable(sarvolentis-dataserver ${CMAKE_CURRENT_LIST_DIR}/main.cpp)
target_link_libraries(sarvolentis-dataserver PRIVATE sv_server)
set_target_properties(sarvolentis-dataserver PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/server)
