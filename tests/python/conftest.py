import pytest


@pytest.fixture(scope="session")
def engine():
    import quillaveen._engine as engine

    return engine
