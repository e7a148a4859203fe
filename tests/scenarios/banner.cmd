#status: 0
