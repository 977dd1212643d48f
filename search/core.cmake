# The search session: the one door between a worker and the services, the answer store and the
# account (plan, send, reuse, limits, cost).
kelvaro_library(SOURCES SearchWire.cpp RunLimits.cpp AnswerReuse.cpp SearchSession.cpp
                USES store web base)
